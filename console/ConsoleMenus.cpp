#include "console/ConsoleMenus.h"

#include <QMenu>
#include <QMenuBar>

QMenu& ConsoleMenu(TForm& Form, const QString& Title) {
    QMenuBar& bar = *Form.MenuBar();
    for (QAction* action : bar.actions())
        if (action->menu() && action->text() == Title) return *action->menu();
    return *bar.addMenu(Title);
}

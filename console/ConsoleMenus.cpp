// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/ConsoleMenus.h"

#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>
#include <QStringList>

namespace {

// The usual order of a desktop program's menus, whichever part asks first.
const QStringList kMenuOrder{QStringLiteral("&File"), QStringLiteral("&View"), QStringLiteral("&Port")};

}  // namespace

QMenu& ConsoleMenu(TForm& Form, const QString& Title) {
    QMenuBar& bar = *Form.MenuBar();
    const auto rank = [](const QString& Text) {
        const auto index = kMenuOrder.indexOf(Text);
        return index < 0 ? kMenuOrder.size() : index;
    };
    QAction* before = nullptr;
    for (QAction* action : bar.actions()) {
        if (action->menu() && action->text() == Title) return *action->menu();
        if (!before && rank(action->text()) > rank(Title)) before = action;
    }
    auto* menu = new QMenu(Title, &bar);
    bar.insertMenu(before, menu);
    return *menu;
}

QAction& AddCheckable(QMenu& Menu, const QString& Text, QActionGroup* Group) {
    QAction& action = *Menu.addAction(Text);
    action.setCheckable(true);
    if (Group) Group->addAction(&action);
    return action;
}

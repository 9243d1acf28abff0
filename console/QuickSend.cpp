// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/QuickSend.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QSettings>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "console/ConsoleMenus.h"
#include "toolkit/ui/ExceptionHandler.h"

namespace {

const QString kShownKey = QStringLiteral("QuickSend/Shown");
const QString kButtonsKey = QStringLiteral("QuickSend/Buttons");
const QStringList kEndingNames{QStringLiteral("None"), QStringLiteral("CR"), QStringLiteral("LF"),
                               QStringLiteral("CR LF")};
constexpr int kRepeatCheckMs = 200;

enum TColumn : int { colName, colCommand, colHex, colEnding, colRepeat, colCount };

// F1–F12 press the buttons while the row shows, before any shortcut of the window sees them.
class TFunctionKeys : public QObject {
public:
    TFunctionKeys(TQuickSend& Owner, QWidget& Window) : QObject(&Window), FOwner(Owner), FWindow(Window) {
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* Target, QEvent* Event) override {
        if (Event->type() != QEvent::ShortcutOverride && Event->type() != QEvent::KeyPress) return false;
        const int index = ButtonOf(*static_cast<QKeyEvent*>(Event));
        auto* widget = qobject_cast<QWidget*>(Target);
        if (index < 0 || !widget || widget->window() != &FWindow || !FOwner.Shown()) return false;
        if (!FOwner.Buttons()[static_cast<std::size_t>(index)].Defined()) return false;
        if (Event->type() == QEvent::ShortcutOverride) {
            Event->accept();  // the key comes as a key press, not as a shortcut
            return false;
        }
        RunHandled([&] { FOwner.Press(index); });
        return true;
    }

private:
    static int ButtonOf(const QKeyEvent& Key) {
        if (Key.modifiers() & ~Qt::KeypadModifier) return -1;
        const int index = Key.key() - Qt::Key_F1;
        return index >= 0 && index < TQuickSend::kButtons ? index : -1;
    }

    TQuickSend& FOwner;
    QWidget& FWindow;
};

// The dialog's table, one row a button.
class TButtonTable : public QTableWidget {
public:
    explicit TButtonTable(QWidget* Parent) : QTableWidget(TQuickSend::kButtons, colCount, Parent) {
        setHorizontalHeaderLabels({QStringLiteral("Name"), QStringLiteral("Command"), QStringLiteral("Hex"),
                                   QStringLiteral("Line ending"), QStringLiteral("Repeat (ms)")});
        QStringList keys;
        for (int i = 1; i <= TQuickSend::kButtons; ++i) keys << QStringLiteral("F%1").arg(i);
        setVerticalHeaderLabels(keys);
        horizontalHeader()->setSectionResizeMode(colCommand, QHeaderView::Stretch);
    }

    void Fill(const std::array<TQuickButton, TQuickSend::kButtons>& Buttons) {
        for (int row = 0; row < TQuickSend::kButtons; ++row) {
            const TQuickButton& button = Buttons[static_cast<std::size_t>(row)];
            setItem(row, colName, new QTableWidgetItem(button.Name));
            setItem(row, colCommand, new QTableWidgetItem(button.Command));
            auto* hex = new QCheckBox(this);
            hex->setChecked(button.Hex);
            setCellWidget(row, colHex, hex);
            auto* ending = new QComboBox(this);
            ending->addItems(kEndingNames);
            ending->setCurrentIndex(button.Ending + 1);
            setCellWidget(row, colEnding, ending);
            auto* repeat = new QSpinBox(this);
            repeat->setRange(0, TQuickButton::kMaxRepeatMs);
            repeat->setSpecialValueText(QStringLiteral("once"));
            repeat->setValue(button.RepeatMs);
            setCellWidget(row, colRepeat, repeat);
        }
    }

    TQuickButton Row(int Row) const {
        TQuickButton button;
        button.Name = item(Row, colName)->text().trimmed();
        button.Command = item(Row, colCommand)->text();
        button.Hex = static_cast<QCheckBox*>(cellWidget(Row, colHex))->isChecked();
        button.Ending = static_cast<QComboBox*>(cellWidget(Row, colEnding))->currentIndex() - 1;
        const int repeat = static_cast<QSpinBox*>(cellWidget(Row, colRepeat))->value();
        button.RepeatMs = repeat == 0 ? 0 : std::max(repeat, TQuickButton::kMinRepeatMs);
        return button;
    }
};

}  // namespace

TQuickSend::TQuickSend(TForm3& Form) : TComponent(&Form), FForm(Form) {
    SetName("QuickSend");
    auto* frame = static_cast<QMainWindow*>(Form.Frame());
    FBar = new QToolBar(QStringLiteral("Quick send"), frame);
    FBar->setMovable(false);
    FBar->setFloatable(false);
    FBar->toggleViewAction()->setVisible(false);
    frame->addToolBar(Qt::TopToolBarArea, FBar);
    FBar->hide();
    for (int i = 0; i < kButtons; ++i) {
        auto* button = new QToolButton(FBar);
        QObject::connect(button, &QToolButton::clicked, FBar, [this, i] { RunHandled([this, i] { Press(i); }); });
        FWidgets[static_cast<std::size_t>(i)] = button;
        FBar->addWidget(button);
    }
    QMenu& view = ConsoleMenu(Form, QStringLiteral("&View"));
    FShownItem = view.addAction(QStringLiteral("Quick send"));
    FShownItem->setCheckable(true);
    QObject::connect(FShownItem, &QAction::toggled, Form.Widget(), [this](bool On) { SetShown(On); });
    QAction* edit = view.addAction(QStringLiteral("Quick send buttons…"));
    QObject::connect(edit, &QAction::triggered, Form.Widget(), [this] { Edit(); });
    new TFunctionKeys(*this, *frame);
    // A repeat that the line ended shows so.
    auto* check = new QTimer(FBar);
    check->setInterval(kRepeatCheckMs);
    QObject::connect(check, &QTimer::timeout, FBar, [this] { ShowRepeats(); });
    check->start();
    Rebuild();
    Form.AddSessionWatcher(this);
}

// The repeats use the port: they end before it goes.
TQuickSend::~TQuickSend() {
    for (auto& repeat : FRepeats) repeat.reset();
}

// The client area keeps its size: the window grows by the row.
void TQuickSend::SetShown(bool On) {
    const QSignalBlocker quiet(FShownItem);
    FShownItem->setChecked(On);
    if (On == Shown()) return;
    QWidget& frame = *FForm.Frame();
    const int row = On ? FBar->sizeHint().height() : -FBar->height();
    FBar->setVisible(On);
    frame.resize(frame.width(), frame.height() + row);
}

bool TQuickSend::Shown() const { return FBar->isVisibleTo(FForm.Frame()); }

void TQuickSend::SetButtons(const std::array<TQuickButton, kButtons>& Buttons) {
    StopRepeats();
    FButtons = Buttons;
    Rebuild();
}

void TQuickSend::Rebuild() {
    for (int i = 0; i < kButtons; ++i) {
        const TQuickButton& button = FButtons[static_cast<std::size_t>(i)];
        QToolButton& widget = *FWidgets[static_cast<std::size_t>(i)];
        const QString name = button.Name.isEmpty() ? button.Command : button.Name;
        widget.setText(QStringLiteral("F%1 %2").arg(i + 1).arg(name));
        widget.setCheckable(button.RepeatMs > 0);
        widget.setToolTip(button.RepeatMs > 0 ? QStringLiteral("Sends every %1 ms until pressed again").arg(button.RepeatMs)
                                              : QString());
        FBar->actions().at(i)->setVisible(button.Defined());
    }
    ShowRepeats();
}

AnsiString TQuickSend::BytesOf(const TQuickButton& Button) const {
    const AnsiString ending = Button.Ending >= 0 ? LineEndingBytes(static_cast<TLineEnding>(Button.Ending)) : AnsiString();
    return EncodeCommand(FromQString(Button.Command), Button.Hex ? cmHex : cmEscapes) + ending;
}

void TQuickSend::Press(int Index) {
    const auto at = static_cast<std::size_t>(Index);
    const TQuickButton& button = FButtons[at];
    if (!button.Defined()) return;
    if (Repeating(Index)) {
        FRepeats[at].reset();
    } else if (FForm.Connected()) {
        const AnsiString bytes = BytesOf(button);
        TOrvelSerialPort* port = FForm.OrvelSerialPort1;
        if (button.RepeatMs > 0)
            FRepeats[at] = std::make_unique<TRepeatSender>([port, bytes] { port->SendChars(bytes); },
                                                           std::chrono::milliseconds(button.RepeatMs));
        else
            port->SendChars(bytes);
    }
    ShowRepeats();
}

bool TQuickSend::Repeating(int Index) const {
    const auto& repeat = FRepeats[static_cast<std::size_t>(Index)];
    return repeat && repeat->Running();
}

void TQuickSend::ShowRepeats() {
    for (int i = 0; i < kButtons; ++i) {
        if (!Repeating(i)) FRepeats[static_cast<std::size_t>(i)].reset();
        FWidgets[static_cast<std::size_t>(i)]->setChecked(Repeating(i));
    }
}

void TQuickSend::StopRepeats() {
    for (auto& repeat : FRepeats)
        if (repeat) repeat->Stop();
}

void TQuickSend::Edit() {
    QDialog dialog(FForm.Frame());
    dialog.setWindowTitle(QStringLiteral("Quick send buttons"));
    auto* layout = new QVBoxLayout(&dialog);
    auto* table = new TButtonTable(&dialog);
    table->Fill(FButtons);
    layout->addWidget(table);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    std::array<TQuickButton, kButtons> edited;
    // A command that cannot be read keeps the dialog open, to be mended.
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
        for (int row = 0; row < kButtons; ++row) {
            edited[static_cast<std::size_t>(row)] = table->Row(row);
            try {
                BytesOf(edited[static_cast<std::size_t>(row)]);
            } catch (const ECommandText& e) {
                QMessageBox::warning(&dialog, dialog.windowTitle(),
                                     QStringLiteral("F%1: %2").arg(row + 1).arg(QString::fromUtf8(e.what())));
                return;
            }
        }
        dialog.accept();
    });
    dialog.resize(760, 420);
    if (dialog.exec() == QDialog::Accepted) SetButtons(edited);
}

void TQuickSend::Load(QSettings& Store) {
    std::array<TQuickButton, kButtons> buttons;
    const int count = std::min(Store.beginReadArray(kButtonsKey), kButtons);
    for (int i = 0; i < count; ++i) {
        Store.setArrayIndex(i);
        TQuickButton& button = buttons[static_cast<std::size_t>(i)];
        button.Name = Store.value(QStringLiteral("Name")).toString();
        button.Command = Store.value(QStringLiteral("Command")).toString();
        button.Hex = Store.value(QStringLiteral("Hex"), false).toBool();
        button.Ending = std::clamp(Store.value(QStringLiteral("Ending"), -1).toInt(), -1, static_cast<int>(leCRLF));
        const int repeat = Store.value(QStringLiteral("RepeatMs"), 0).toInt();
        button.RepeatMs = repeat <= 0 ? 0 : std::clamp(repeat, TQuickButton::kMinRepeatMs, TQuickButton::kMaxRepeatMs);
    }
    Store.endArray();
    SetButtons(buttons);
    SetShown(Store.value(kShownKey, false).toBool());
}

void TQuickSend::Save(QSettings& Store) const {
    Store.beginWriteArray(kButtonsKey, kButtons);
    for (int i = 0; i < kButtons; ++i) {
        const TQuickButton& button = FButtons[static_cast<std::size_t>(i)];
        Store.setArrayIndex(i);
        Store.setValue(QStringLiteral("Name"), button.Name);
        Store.setValue(QStringLiteral("Command"), button.Command);
        Store.setValue(QStringLiteral("Hex"), button.Hex);
        Store.setValue(QStringLiteral("Ending"), button.Ending);
        Store.setValue(QStringLiteral("RepeatMs"), button.RepeatMs);
    }
    Store.endArray();
    Store.setValue(kShownKey, Shown());
}

void AttachQuickSend(TForm3& Form) { new TQuickSend(Form); }

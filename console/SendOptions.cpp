// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/SendOptions.h"

#include <QActionGroup>
#include <QMenu>
#include <QSettings>

#include "console/ConsoleMenus.h"

namespace {

const QString kLineEndingKey = QStringLiteral("Send/LineEnding");
const QString kModeKey = QStringLiteral("Send/Mode");
const QString kEchoKey = QStringLiteral("View/EchoSentCommands");

// In the order of TLineEnding; the names are also what the settings store.
const QString kEndingNames[] = {QStringLiteral("CR"), QStringLiteral("LF"), QStringLiteral("CR LF")};
const QString kModeNames[] = {QStringLiteral("Text"), QStringLiteral("Escapes"), QStringLiteral("Hex")};

template <std::size_t N>
int IndexOf(const QString (&Names)[N], const QString& Name, int Otherwise) {
    for (std::size_t i = 0; i < N; ++i)
        if (Names[i] == Name) return static_cast<int>(i);
    return Otherwise;
}

}  // namespace

TSendOptions::TSendOptions(TForm3& Form) : TComponent(&Form) {
    SetName("SendOptions");
    QWidget* window = Form.Widget();
    QMenu& port = ConsoleMenu(Form, QStringLiteral("&Port"));
    QMenu& endings = *port.addMenu(QStringLiteral("Line &ending"));
    auto* endingGroup = new QActionGroup(&endings);
    for (int i = 0; i < 3; ++i) {
        FEndingItems[i] = &AddCheckable(endings, kEndingNames[i], endingGroup);
        QObject::connect(FEndingItems[i], &QAction::triggered, window,
                         [this, i] { SetLineEnding(static_cast<TLineEnding>(i)); });
    }
    // At most one of the two: hex has no escapes.
    auto* modeGroup = new QActionGroup(&port);
    modeGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    FEscapesItem = &AddCheckable(port, QStringLiteral("Interpret escapes"), modeGroup);
    FHexItem = &AddCheckable(port, QStringLiteral("Send as hex"), modeGroup);
    // Triggered comes after the group has unchecked the other one.
    for (QAction* item : {FEscapesItem, FHexItem})
        QObject::connect(item, &QAction::triggered, window, [this] {
            SetMode(FHexItem->isChecked() ? cmHex : FEscapesItem->isChecked() ? cmEscapes : cmText);
        });
    FEchoItem = &AddCheckable(ConsoleMenu(Form, QStringLiteral("&View")), QStringLiteral("&Echo sent commands"));
    QObject::connect(FEchoItem, &QAction::toggled, window, [this](bool On) { SetEcho(On); });
    ShowChecks();
    Form.SetCommandEncoder([this](const UnicodeString& Text, bool LineEnd) { return Outgoing(Text, LineEnd); });
}

void TSendOptions::SetLineEnding(TLineEnding Ending) {
    FEnding = Ending;
    ShowChecks();
}

void TSendOptions::SetMode(TCommandMode Mode) {
    FMode = Mode;
    ShowChecks();
}

void TSendOptions::SetEcho(bool On) {
    FEcho = On;
    ShowChecks();
}

AnsiString TSendOptions::Bytes(const UnicodeString& Text, const AnsiString& Ending) const {
    return EncodeCommand(Text, FMode) + Ending;
}

TForm3::TOutgoing TSendOptions::Outgoing(const UnicodeString& Text, bool LineEnd) const {
    const AnsiString command = EncodeCommand(Text, FMode);
    UnicodeString echo;
    if (FEcho) echo = FMode == cmHex ? AnsiToUnicode(HexText(command)) : Text;
    return {command + (LineEnd ? LineEndingBytes(FEnding) : AnsiString()), echo};
}

void TSendOptions::ShowChecks() {
    for (int i = 0; i < 3; ++i) {
        const QSignalBlocker quiet(FEndingItems[i]);
        FEndingItems[i]->setChecked(i == FEnding);
    }
    const QSignalBlocker escapes(FEscapesItem), hex(FHexItem), echo(FEchoItem);
    FEscapesItem->setChecked(FMode == cmEscapes);
    FHexItem->setChecked(FMode == cmHex);
    FEchoItem->setChecked(FEcho);
}

void TSendOptions::Load(const QSettings& Store) {
    SetLineEnding(static_cast<TLineEnding>(IndexOf(kEndingNames, Store.value(kLineEndingKey).toString(), leCR)));
    SetMode(static_cast<TCommandMode>(IndexOf(kModeNames, Store.value(kModeKey).toString(), cmText)));
    SetEcho(Store.value(kEchoKey, true).toBool());
}

void TSendOptions::Save(QSettings& Store) const {
    Store.setValue(kLineEndingKey, kEndingNames[FEnding]);
    Store.setValue(kModeKey, kModeNames[FMode]);
    Store.setValue(kEchoKey, FEcho);
}

void AttachSendOptions(TForm3& Form) { new TSendOptions(Form); }

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How typed commands go out: Port > Line ending (what "Send Carriage Return"
// sends), Port > Interpret escapes and Send as hex, and View > Echo sent
// commands. The setters are where remembered settings restore them.

#include "console/comexample.h"
#include "transfer/CommandText.h"

class QAction;
class QSettings;

class TSendOptions : public TComponent {
public:
    explicit TSendOptions(TForm3& Form);

    void SetLineEnding(TLineEnding Ending);
    TLineEnding LineEnding() const { return FEnding; }
    void SetMode(TCommandMode Mode);
    TCommandMode Mode() const { return FMode; }
    void SetEcho(bool On);
    bool Echo() const { return FEcho; }

    // The bytes of a command typed as Text in the current mode, followed by Ending when asked.
    AnsiString Bytes(const UnicodeString& Text, const AnsiString& Ending) const;
    TForm3::TOutgoing Outgoing(const UnicodeString& Text, bool LineEnd) const;

    void Load(const QSettings& Store);
    void Save(QSettings& Store) const;

private:
    void ShowChecks();

    TLineEnding FEnding = leCR;
    TCommandMode FMode = cmText;
    bool FEcho = true;
    QAction* FEndingItems[3];
    QAction* FEscapesItem;
    QAction* FHexItem;
    QAction* FEchoItem;
};

// Called once from FormCreate.
void AttachSendOptions(TForm3& Form);

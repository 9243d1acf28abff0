// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The console window: connect to a port, send commands, recall them, and read
// what the device sends.

#include <array>
#include <exception>
#include <functional>
#include <vector>

#include "led/LmLeds.h"
#include "serial/OrvelSerialPort.h"
#include "toolkit/ui/Forms.h"

extern const char* const MsgNoPortChosen;

// A part of the window attached in FormCreate that follows the session.
class TSessionWatcher {
public:
    virtual ~TSessionWatcher() = default;
    virtual void Connected() {}
    // DeviceLost: the port ended by itself, not by the window.
    virtual void Disconnected(bool DeviceLost) { (void)DeviceLost; }
    // The window is about to close the port.
    virtual void ClosingPort() {}
    // The window is closing; the port is still as it was.
    virtual void Closing() {}
};

class TForm3 : public TForm {
    OSTRA_CLASSINFO()
public:
    explicit TForm3(TComponent* AOwner);
    ~TForm3() override;

    TButton* b_Send = nullptr;
    TOrvelSerialPort* OrvelSerialPort1 = nullptr;
    TEdit* cmd = nullptr;
    TLabel* Label1 = nullptr;
    TLabel* Label2 = nullptr;
    TMemo* Memo1 = nullptr;
    TButton* b_Connect = nullptr;
    TButton* b_clear = nullptr;
    TLmUserLed* ConnectedLed = nullptr;
    TComboBox* cb_portlist = nullptr;
    TButton* b_GetPorts = nullptr;
    TLabel* Label3 = nullptr;
    TLabel* Label4 = nullptr;
    TComboBox* cb_Baud = nullptr;
    TCheckBox* ck_sendCR = nullptr;

    void b_SendClick(TObject* Sender);
    void FormCreate(TObject* Sender);
    void FormClose(TObject* Sender, TCloseAction& Action);
    void OrvelSerialPort1Receive(TObject* Sender, AnsiString Buffer);
    void cmdKeyPress(TObject* Sender, char16_t& Key);
    void b_ConnectClick(TObject* Sender);
    void FormResize(TObject* Sender);
    void b_clearClick(TObject* Sender);
    void Memo1KeyPress(TObject* Sender, char16_t& Key);
    void cmdKeyDown(TObject* Sender, Word& Key, TShiftState Shift);
    void Addtolist(AnsiString st);
    void b_GetPortsClick(TObject* Sender);
    void cb_BaudChange(TObject* Sender);
    // The component ended the session by itself (the device went away).
    void OrvelSerialPort1Disconnect(TObject* Sender, TCommPort Port);

    bool Connected() const { return portstatus; }
    // Opens the named port and shows the outcome; why it failed, if it did.
    std::exception_ptr OpenPort(const AnsiString& Name);
    // The commands that Up and Down recall, oldest first.
    std::vector<AnsiString> History() const;
    void ClearHistory();
    // Watchers are components of the window and live as long as it does.
    void AddSessionWatcher(TSessionWatcher* Watcher) { FWatchers.push_back(Watcher); }
    // Turns received bytes, and the text they make, into what the received
    // area shows; the views attached in FormCreate set it. Unset, the text
    // shows as it came.
    using TReceivedTextFilter = std::function<UnicodeString(const AnsiString& Bytes, const UnicodeString& Text)>;
    void SetReceivedTextFilter(TReceivedTextFilter Filter) { FReceivedTextFilter = std::move(Filter); }
    // Parts that read received text (the plot) hear each block as decoded.
    using TReceivedTextListener = std::function<void(const UnicodeString& Text)>;
    void AddReceivedTextListener(TReceivedTextListener Listener) { FReceivedTextListeners.push_back(std::move(Listener)); }

private:
    static constexpr int32_t MaxValue = 255;
    static int32_t StepForward(int32_t Slot) { return Slot == MaxValue ? 0 : Slot + 1; }
    static int32_t StepBack(int32_t Slot) { return Slot == 0 ? MaxValue : Slot - 1; }

    void ShowConnection(bool Connected);
    // Closes the port on the window's behalf: that is not a lost device.
    void ClosePort();
    void Send(const UnicodeString& Text);
    // Received bytes as text; a character split over two blocks waits for its rest.
    UnicodeString DecodeReceived(const AnsiString& Buffer);

    bool portstatus = false;
    std::array<AnsiString, MaxValue + 1> cmdlist;
    int32_t cmdstart = 0;
    int32_t cmdidx = 0;
    int32_t cmdsel = 0;
    bool cmdflg = false;
    bool cmdin = false;
    AnsiString FPartialCharacter;
    bool FClosingPort = false;
    std::vector<TSessionWatcher*> FWatchers;
    TReceivedTextFilter FReceivedTextFilter;
    std::vector<TReceivedTextListener> FReceivedTextListeners;
};

// The one console window.
extern TForm3* Form3;

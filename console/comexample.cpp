// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/comexample.h"

#include <algorithm>
#include <cmath>

#include "console/CaptureLog.h"
#include "console/FileTransfer.h"
#include "console/LineControls.h"
#include "console/NetworkPortBox.h"
#include "console/PlotWindow.h"
#include "console/PortHints.h"
#include "console/QuickSend.h"
#include "console/ReceivedViews.h"
#include "console/Reconnect.h"
#include "console/SendFile.h"
#include "console/SendOptions.h"
#include "console/SessionSettings.h"
#include "console/TerminalMode.h"
#include "toolkit/ui/Clipbrd.h"
#include "toolkit/ui/TextView.h"

TForm3* Form3 = nullptr;

const char* const MsgNoPortChosen = "No port chosen. Search for ports or type a port name.";

namespace {

constexpr char16_t kCarriageReturn = 13;

// Redraws the memo once, after the whole change.
class TLinesUpdate {
public:
    explicit TLinesUpdate(TMemo& Memo) : FLines(*Memo.GetLines()) { FLines.BeginUpdate(); }
    ~TLinesUpdate() { FLines.EndUpdate(); }
    TLinesUpdate(const TLinesUpdate&) = delete;
    TLinesUpdate& operator=(const TLinesUpdate&) = delete;

private:
    TMemoStrings& FLines;
};

void RegisterConsoleClasses() {
    static const bool registered = [] {
        RegisterClass(TForm3::StaticClassInfo());
        RegisterClass(TOrvelSerialPort::StaticClassInfo());
        RegisterClass(TLmUserLed::StaticClassInfo());
        return true;
    }();
    (void)registered;
}

}  // namespace

const TClassInfo& TForm3::StaticClassInfo() {
    using C = TForm3;
    using TStringMethod = std::function<void(AnsiString)>;
    static const TClassInfo info =
        TClassInfoBuilder<C>("TForm3", &TForm::StaticClassInfo())
            .Field("b_Send", &C::b_Send)
            .Field("OrvelSerialPort1", &C::OrvelSerialPort1)
            .Field("cmd", &C::cmd)
            .Field("Label1", &C::Label1)
            .Field("Label2", &C::Label2)
            .Field("Memo1", &C::Memo1)
            .Field("b_Connect", &C::b_Connect)
            .Field("b_clear", &C::b_clear)
            .Field("ConnectedLed", &C::ConnectedLed)
            .Field("cb_portlist", &C::cb_portlist)
            .Field("b_GetPorts", &C::b_GetPorts)
            .Field("Label3", &C::Label3)
            .Field("Label4", &C::Label4)
            .Field("cb_Baud", &C::cb_Baud)
            .Field("ck_sendCR", &C::ck_sendCR)
            .Method<TNotifyEvent>("b_SendClick", &C::b_SendClick)
            .Method<TNotifyEvent>("FormCreate", &C::FormCreate)
            .Method<TCloseEvent>("FormClose", &C::FormClose)
            .Method<TSendReceiveEvent>("OrvelSerialPort1Receive", &C::OrvelSerialPort1Receive)
            .Method<TKeyPressEvent>("cmdKeyPress", &C::cmdKeyPress)
            .Method<TNotifyEvent>("b_ConnectClick", &C::b_ConnectClick)
            .Method<TNotifyEvent>("FormResize", &C::FormResize)
            .Method<TNotifyEvent>("b_clearClick", &C::b_clearClick)
            .Method<TKeyPressEvent>("Memo1KeyPress", &C::Memo1KeyPress)
            .Method<TKeyEvent>("cmdKeyDown", &C::cmdKeyDown)
            .Method<TStringMethod>("Addtolist", &C::Addtolist)
            .Method<TNotifyEvent>("b_GetPortsClick", &C::b_GetPortsClick)
            .Method<TNotifyEvent>("cb_BaudChange", &C::cb_BaudChange)
            .Method<TConnectEvent>("OrvelSerialPort1Disconnect", &C::OrvelSerialPort1Disconnect)
            .Build();
    return info;
}
OSTRA_CLASSINFO_IMPL(TForm3)

TForm3::TForm3(TComponent* AOwner) : TForm(AOwner, QStringLiteral(":/forms/comexample.form")) {
    RegisterConsoleClasses();
}

// The port goes before the controls do: its last events must not reach a
// memo that is already gone.
TForm3::~TForm3() {
    if (!OrvelSerialPort1) return;
    OrvelSerialPort1->SetOnReceive(nullptr);
    OrvelSerialPort1->SetOnDisconnect(nullptr);
    OrvelSerialPort1->Close();
}

// ---- start-up and window ----------------------------------------------------

void TForm3::FormCreate(TObject* Sender) {
    FCaption = GetCaption();
    portstatus = false;
    Memo1->Clear();
    FReceived = std::make_unique<TReceivedPipeline>(Memo1->View());
    Memo1->SetWantTabs(true);

    // Tab stops every five character cells of the memo's font, in dialog units.
    const int32_t DialogUnitsX = std::max<int32_t>(1, GetDialogBaseUnits() & 0xFFFF);
    const long double PixelPerCharExt = static_cast<long double>(Memo1->GetFont()->GetSize()) / 72 * 96;
    const auto PixelPerCharInt = static_cast<int32_t>(std::trunc(PixelPerCharExt));
    const int32_t PixelsX = PixelPerCharInt * 5;
    std::array<int32_t, 20> TabArray{};
    for (int32_t i = 1; i <= 20; ++i) TabArray[i - 1] = PixelsX * i * 4 / DialogUnitsX;
    Memo1->SetTabStops(TabArray);
    Memo1->Invalidate();

    cmdidx = cmdsel = cmdstart = 0;
    cmdflg = cmdin = false;

    AttachPortTooltips(*cb_portlist);
    b_GetPortsClick(Sender);
    for (const int32_t rate : TOrvelSerialPort::StandardBaudRates()) cb_Baud->GetItems()->Add(std::to_string(rate));

    AttachLineControls(*this);
    AttachSendOptions(*this);
    AttachNetworkPortBox(*this);
    AttachSendFile(*this);
    AttachFileTransfer(*this);
    AttachQuickSend(*this);
    AttachReconnect(*this);
    AttachCaptureLog(*this);
    AttachReceivedViews(*this);
    AttachTerminalMode(*this);
    AttachPlot(*this);
    // Last: what it restores goes through the parts attached before it.
    AttachSessionSettings(*this);
}

void TForm3::SetCaptionSuffix(const TComponent& Part, const UnicodeString& Suffix) {
    const auto entry = std::find_if(FCaptionSuffixes.begin(), FCaptionSuffixes.end(),
                                    [&](const auto& Entry) { return Entry.first == &Part; });
    if (entry == FCaptionSuffixes.end()) FCaptionSuffixes.emplace_back(&Part, Suffix);
    else entry->second = Suffix;
    UnicodeString caption = FCaption;
    for (const auto& [part, suffix] : FCaptionSuffixes) caption += suffix;
    SetCaption(caption);
}

void TForm3::FormResize(TObject*) {
    if (!Memo1 || !cmd) return;  // a resize while the form file is still being read
    const int32_t W = GetClientWidth();
    const int32_t H = GetClientHeight();
    Memo1->SetHeight(H - 70);
    Memo1->SetWidth(W - 170);
    cmd->SetWidth(W - 170);
}

void TForm3::FormClose(TObject*, TCloseAction&) {
    for (TSessionWatcher* watcher : FWatchers) watcher->Closing();
    ClosePort();
}

// ---- connection -------------------------------------------------------------

void TForm3::ShowConnection(bool Connected) {
    const bool lost = portstatus && !Connected && !FClosingPort;
    ConnectedLed->SetActive(Connected);
    portstatus = Connected;
    b_Connect->SetCaption(Connected ? u"Disconnect" : u"Connect");
    b_Send->SetEnabled(Connected);
    cmd->SetEnabled(Connected);
    for (TSessionWatcher* watcher : FWatchers) {
        if (Connected)
            watcher->Connected();
        else
            watcher->Disconnected(lost);
    }
}

void TForm3::ClosePort() {
    for (TSessionWatcher* watcher : FWatchers) watcher->ClosingPort();
    FClosingPort = true;
    try {
        OrvelSerialPort1->Close();
    } catch (...) {
        FClosingPort = false;
        throw;
    }
    FClosingPort = false;
}

void TForm3::b_ConnectClick(TObject*) {
    if (portstatus) {
        ConnectedLed->SetActive(false);
        OrvelSerialPort1->ClearInputBuffer();
        ClosePort();
        ShowConnection(false);
        return;
    }
    const AnsiString name = Trim(UnicodeToAnsi(cb_portlist->GetText()));
    // Without a port there is nothing to open, and nothing to call connected.
    if (TOrvelSerialPort::StringToCommPort(name) == spNone) throw EOrvelSerialPortException(MsgNoPortChosen);
    // The user learns why the port did not open.
    if (const std::exception_ptr failure = OpenPort(name)) Application->ShowException(WithPortFailureHint(failure, name));
}

std::exception_ptr TForm3::OpenPort(const AnsiString& Name) {
    const TCommPort port = TOrvelSerialPort::StringToCommPort(Name);
    if (port == spNone) return std::make_exception_ptr(EOrvelSerialPortException(MsgNoPortChosen));
    // A name of its own opens that device, not whichever custom name was stored.
    if (port == spCustom) OrvelSerialPort1->SetCustomPortName(Name);
    OrvelSerialPort1->SetCommPort(port);
    FReceived->Reset();

    std::exception_ptr failure;
    try {
        OrvelSerialPort1->Open();
        if (OrvelSerialPort1->IsConnected() == port) {
            ShowConnection(true);
            return nullptr;
        }
    } catch (...) {
        failure = std::current_exception();
    }
    ConnectedLed->SetActive(false);
    ClosePort();
    ShowConnection(false);
    return failure;
}

void TForm3::OrvelSerialPort1Disconnect(TObject*, TCommPort) { ShowConnection(false); }

void TForm3::b_GetPortsClick(TObject*) {
    TStringList ports;
    OrvelSerialPort1->GetExistingCommPortNames(&ports);
    cb_portlist->Clear();
    for (int i = 0; i < ports.Count(); ++i) cb_portlist->GetItems()->Add(ports[i]);
    if (ports.Count() > 0) cb_portlist->SetItemIndex(0);
}

void TForm3::cb_BaudChange(TObject*) {
    const AnsiString text = Trim(UnicodeToAnsi(cb_Baud->GetText()));
    if (text.empty()) return;  // the user is about to type a new rate
    const int32_t rate = StrToInt(text);
    if (rate <= 0) throw EConvertError(Format("'%s' is not a valid baud rate", {text}));
    const TBaudRate thebaud = TOrvelSerialPort::IntToBaudRate(rate);
    if (thebaud == brCustom) OrvelSerialPort1->SetCustomBaudRate(rate);
    OrvelSerialPort1->SetBaudRate(thebaud);
}

// ---- sending and history ----------------------------------------------------

TForm3::TOutgoing TForm3::Outgoing(const UnicodeString& Text, bool LineEnd) const {
    if (FCommandEncoder) return FCommandEncoder(Text, LineEnd);
    return {UnicodeToAnsi(LineEnd ? Text + kCarriageReturn : Text), Text};
}

// Every byte goes, a zero byte too.
void TForm3::Send(const AnsiString& Bytes) { OrvelSerialPort1->SendChars(Bytes); }

// A command that cannot be read raises before anything is sent or cleared.
void TForm3::b_SendClick(TObject*) {
    const UnicodeString text = cmd->GetText();
    const TOutgoing command = Outgoing(text, ck_sendCR->GetChecked());
    Addtolist(UnicodeToAnsi(text));
    if (!command.Echo.empty()) {
        const TLinesUpdate update(*Memo1);
        Memo1->AppendText(command.Echo);
    }
    Send(command.Bytes);
    cmd->SetText({});
}

void TForm3::cmdKeyPress(TObject* Sender, char16_t& Key) {
    if (Key != kCarriageReturn) return;
    Key = 0;
    b_SendClick(Sender);
}

void TForm3::Addtolist(AnsiString st) {
    if (st.empty()) return;
    if (!cmdin) {
        cmdlist[cmdidx] = st;
        cmdin = true;
        return;
    }
    bool found = false;
    int32_t i = cmdstart;
    do {
        if (cmdlist[i] == st) found = true;
        if (found) cmdlist[i] = i == cmdidx ? st : cmdlist[StepForward(i)];
        i = StepForward(i);
    } while (i != cmdidx && cmdidx != cmdstart);
    if (!found) {
        cmdidx = StepForward(cmdidx);
        if (cmdidx == cmdstart) cmdstart = StepForward(cmdstart);
        cmdsel = cmdidx;
    }
    cmdlist[cmdidx] = st;
}

std::vector<AnsiString> TForm3::History() const {
    std::vector<AnsiString> entries;
    if (!cmdin) return entries;
    for (int32_t i = cmdstart;; i = StepForward(i)) {
        entries.push_back(cmdlist[i]);
        if (i == cmdidx) return entries;
    }
}

void TForm3::ClearHistory() {
    cmdlist.fill({});
    cmdidx = cmdsel = cmdstart = 0;
    cmdflg = cmdin = false;
}

void TForm3::cmdKeyDown(TObject*, Word& Key, TShiftState) {
    if (Key != VK_UP && Key != VK_DOWN) {
        cmdflg = false;
        return;
    }
    if (!cmdflg) {
        cmdsel = cmdidx;
        cmdflg = true;
    } else if (Key == VK_UP && cmdsel != cmdstart) {
        cmdsel = StepBack(cmdsel);
    } else if (Key == VK_DOWN && cmdsel != cmdidx) {
        cmdsel = StepForward(cmdsel);
    }
    cmd->SetText(AnsiToUnicode(cmdlist[cmdsel]));
    Key = 0;
}

void TForm3::Memo1KeyPress(TObject*, char16_t& Key) {
    UnicodeString text = cmd->GetText();
    switch (Key) {
        case 3:   // Ctrl+C
        case 24:  // Ctrl+X
            return;
        case 8:
            // A whole character goes, even one outside the code page or made of two units.
            if (!text.empty()) text.pop_back();
            if (!text.empty() && IsHighSurrogate(text.back())) text.pop_back();
            break;
        case kCarriageReturn: {
            Key = 0;
            const TOutgoing command = Outgoing(text, true);
            Addtolist(UnicodeToAnsi(text));
            Send(command.Bytes);
            text.clear();
            break;
        }
        case 22:  // Ctrl+V
            text += ClipboardAsText();
            break;
        default:
            text += Key;
            break;
    }
    cmd->SetText(text);
}

void TForm3::b_clearClick(TObject*) { Memo1->Clear(); }

// ---- receiving --------------------------------------------------------------

// The area follows the end by itself, unless the user has scrolled back to
// read. The caret follows too, so typing goes on after the text, but never
// away from a selection the user is making or about to copy.
// The view shows what came at its next frame, so a block costs no paint.
void TForm3::OrvelSerialPort1Receive(TObject*, AnsiString Buffer) {
    FReceived->Receive(Buffer);
    TTextView& view = Memo1->View();
    if (Memo1->Focused() && view.FollowsEnd() && !view.HasSelection()) view.SetSelection(view.Length(), view.Length());
}

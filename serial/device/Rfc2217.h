// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The client side of a telnet session with the com-port control option: the
// device's data with IAC escaped both ways, option negotiation, and the line
// settings and modem lines asked of the server and answered by it. No sockets
// and no clock of its own, so every step can be tested and fuzzed.

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Telnet {
inline constexpr uint8_t SE = 240;
inline constexpr uint8_t SB = 250;
inline constexpr uint8_t WILL = 251;
inline constexpr uint8_t WONT = 252;
inline constexpr uint8_t DO = 253;
inline constexpr uint8_t DONT = 254;
inline constexpr uint8_t IAC = 255;

inline constexpr uint8_t OptBinary = 0;
inline constexpr uint8_t OptSuppressGoAhead = 3;
inline constexpr uint8_t OptComPort = 44;
}  // namespace Telnet

// The com-port commands the client sends; the server answers with each plus 100.
namespace ComPort {
inline constexpr uint8_t SetBaudRate = 1;
inline constexpr uint8_t SetDataSize = 2;
inline constexpr uint8_t SetParity = 3;
inline constexpr uint8_t SetStopSize = 4;
inline constexpr uint8_t SetControl = 5;
inline constexpr uint8_t NotifyLineState = 6;
inline constexpr uint8_t NotifyModemState = 7;
inline constexpr uint8_t FlowControlSuspend = 8;
inline constexpr uint8_t FlowControlResume = 9;
inline constexpr uint8_t SetLineStateMask = 10;
inline constexpr uint8_t SetModemStateMask = 11;
inline constexpr uint8_t PurgeData = 12;
inline constexpr uint8_t ServerOffset = 100;

// SET-CONTROL values.
inline constexpr uint8_t FlowNone = 1;
inline constexpr uint8_t FlowXonXoff = 2;
inline constexpr uint8_t FlowHardware = 3;
inline constexpr uint8_t BreakOn = 5;
inline constexpr uint8_t BreakOff = 6;
inline constexpr uint8_t DtrOn = 8;
inline constexpr uint8_t DtrOff = 9;
inline constexpr uint8_t RtsOn = 11;
inline constexpr uint8_t RtsOff = 12;
}  // namespace ComPort

// What a request sets; each is answered, and reported, on its own.
enum class TComSetting : uint8_t { Baud, DataSize, Parity, StopSize, Flow, Break, Dtr, Rts, Purge, Count };

class TRfc2217Client {
public:
    using TClock = std::chrono::steady_clock;
    // How long a request may go unanswered before the client says so.
    static constexpr std::chrono::milliseconds AnswerWait{1500};
    // The longest subnegotiation kept; longer ones are dropped whole.
    static constexpr std::size_t MaxSubnegotiation = 64;

    // The values the server answered; none until it did.
    struct TAnswered {
        std::optional<uint32_t> Baud;
        std::optional<uint8_t> DataSize, Parity, StopSize, Flow;
    };

    explicit TRfc2217Client(TClock::time_point Now);

    // Takes bytes from the server: the device's data goes to Data, replies
    // and requests that may go now wait in the outgoing bytes.
    void Receive(std::string_view Bytes, std::string& Data, TClock::time_point Now);
    // Asks the server for Command with Value (already in network byte order);
    // sent once the server has taken the option.
    void Request(uint8_t Command, std::string_view Value, TClock::time_point Now);
    // The device's data as it goes on the wire.
    static void AppendEscaped(std::string_view Data, std::string& Wire);

    std::string TakeOutgoing();
    // What a person should know: refusals, answers that differ from the
    // request, requests left unanswered (each setting once).
    std::vector<std::string> TakeNotices(TClock::time_point Now);
    // When TakeNotices next has something to say about silence, if ever.
    std::optional<TClock::time_point> NextDeadline() const;

    const TAnswered& Answered() const { return FAnswered; }
    // The modem-state byte last notified (CD, RI, DSR, CTS in the high nibble).
    std::optional<uint8_t> ModemState() const { return FModemState; }
    // The line-state error bits notified since the last call.
    uint8_t TakeLineErrors();
    bool ComPortActive() const { return FComPort == TOption::On; }

private:
    enum class TState : uint8_t { Data, Iac, Option, Sub, SubIac };
    enum class TOption : uint8_t { Asked, On, Off };
    struct TPending {
        bool Waiting = false;
        bool Reported = false;
        std::string Value;
        TClock::time_point Since{};
    };

    void TakeByte(uint8_t Byte, std::string& Data, TClock::time_point Now);
    void Negotiate(uint8_t Verb, uint8_t Option, TClock::time_point Now);
    void NegotiateComPort(uint8_t Verb, TClock::time_point Now);
    void Subnegotiation(TClock::time_point Now);
    void ComPortAnswer(uint8_t Command, std::string_view Value);
    void Answer(TComSetting Setting, std::string_view Value);
    void SendCommand(uint8_t Command, std::string_view Value);
    void SendVerb(uint8_t Verb, uint8_t Option);
    void Note(std::string Text);
    TPending& Pending(TComSetting Setting) { return FPending[static_cast<std::size_t>(Setting)]; }

    TState FState = TState::Data;
    uint8_t FVerb = 0;
    std::string FSub;
    bool FSubTooLong = false;
    TOption FComPort = TOption::Asked;
    // Binary is offered and asked for at the start, so it counts as on.
    bool FLocalBinary = true;
    bool FRemoteBinary = true;
    bool FLocalSuppressGoAhead = false;
    bool FRemoteSuppressGoAhead = false;
    std::vector<std::pair<uint8_t, std::string>> FQueued;
    std::array<TPending, static_cast<std::size_t>(TComSetting::Count)> FPending{};
    TClock::time_point FAskedSince;
    bool FSilenceReported = false;
    std::string FOutgoing;
    std::vector<std::string> FNotices;
    TAnswered FAnswered;
    std::optional<uint8_t> FModemState;
    uint8_t FLineErrors = 0;
};

// Which setting a request of Command with first value byte Value sets.
std::optional<TComSetting> SettingOf(uint8_t Command, uint8_t Value);

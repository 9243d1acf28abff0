// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/device/Rfc2217.h"

#include <algorithm>
#include <utility>

namespace {

using namespace Telnet;

const char* SettingName(TComSetting Setting) {
    switch (Setting) {
    case TComSetting::Baud: return "baud rate";
    case TComSetting::DataSize: return "data bits";
    case TComSetting::Parity: return "parity";
    case TComSetting::StopSize: return "stop bits";
    case TComSetting::Flow: return "flow control";
    case TComSetting::Break: return "break";
    case TComSetting::Dtr: return "DTR";
    case TComSetting::Rts: return "RTS";
    case TComSetting::Purge: return "purge";
    case TComSetting::Count: break;
    }
    return "setting";
}

uint32_t BigEndian(std::string_view Value) {
    uint32_t number = 0;
    for (const char byte : Value.substr(0, 4)) number = number << 8 | static_cast<uint8_t>(byte);
    return number;
}

std::string ValueText(TComSetting Setting, std::string_view Value) {
    if (Value.empty()) return "nothing";
    const uint8_t first = static_cast<uint8_t>(Value[0]);
    switch (Setting) {
    case TComSetting::Baud: return std::to_string(BigEndian(Value));
    case TComSetting::Parity: {
        static const char* const names[] = {"?", "none", "odd", "even", "mark", "space"};
        return first < std::size(names) ? names[first] : std::to_string(first);
    }
    case TComSetting::StopSize: return first == 3 ? "1.5" : std::to_string(first);
    case TComSetting::Flow:
        return first == ComPort::FlowNone      ? "none"
               : first == ComPort::FlowXonXoff ? "XON/XOFF"
               : first == ComPort::FlowHardware ? "RTS/CTS"
                                                : std::to_string(first);
    case TComSetting::Break:
    case TComSetting::Dtr:
    case TComSetting::Rts: return first == ComPort::BreakOn || first == ComPort::DtrOn || first == ComPort::RtsOn ? "on" : "off";
    default: return std::to_string(first);
    }
}

bool IsQuery(TComSetting Setting, std::string_view Value) {
    if (Setting == TComSetting::Baud) return BigEndian(Value) == 0;
    return Value.empty() || Value[0] == 0 || (Setting == TComSetting::Break && Value[0] == 4) ||
           (Setting == TComSetting::Dtr && Value[0] == 7) || (Setting == TComSetting::Rts && Value[0] == 10);
}

}  // namespace

std::optional<TComSetting> SettingOf(uint8_t Command, uint8_t Value) {
    switch (Command) {
    case ComPort::SetBaudRate: return TComSetting::Baud;
    case ComPort::SetDataSize: return TComSetting::DataSize;
    case ComPort::SetParity: return TComSetting::Parity;
    case ComPort::SetStopSize: return TComSetting::StopSize;
    case ComPort::PurgeData: return TComSetting::Purge;
    case ComPort::SetControl:
        if (Value <= 3 || (Value >= 17 && Value <= 19)) return TComSetting::Flow;
        if (Value <= 6) return TComSetting::Break;
        if (Value <= 9) return TComSetting::Dtr;
        if (Value <= 12) return TComSetting::Rts;
        return {};
    default: return {};
    }
}

TRfc2217Client::TRfc2217Client(TClock::time_point Now) : FAskedSince(Now) {
    // Binary both ways keeps every byte value as it is; the com-port option is offered.
    SendVerb(WILL, OptBinary);
    SendVerb(DO, OptBinary);
    SendVerb(WILL, OptComPort);
}

void TRfc2217Client::AppendEscaped(std::string_view Data, std::string& Wire) {
    while (!Data.empty()) {
        const std::size_t iac = Data.find(static_cast<char>(IAC));
        Wire.append(Data.substr(0, iac));
        if (iac == std::string_view::npos) return;
        Wire.append(2, static_cast<char>(IAC));
        Data.remove_prefix(iac + 1);
    }
}

void TRfc2217Client::Receive(std::string_view Bytes, std::string& Data, TClock::time_point Now) {
    while (!Bytes.empty()) {
        if (FState == TState::Data) {
            // The common case: a run of the device's data up to the next IAC.
            const std::size_t iac = Bytes.find(static_cast<char>(IAC));
            Data.append(Bytes.substr(0, iac));
            if (iac == std::string_view::npos) return;
            Bytes.remove_prefix(iac);
        }
        TakeByte(static_cast<uint8_t>(Bytes[0]), Data, Now);
        Bytes.remove_prefix(1);
    }
}

void TRfc2217Client::TakeByte(uint8_t Byte, std::string& Data, TClock::time_point Now) {
    switch (FState) {
    case TState::Data:
        if (Byte == IAC)
            FState = TState::Iac;
        else
            Data.push_back(static_cast<char>(Byte));
        return;
    case TState::Iac:
        FState = TState::Data;
        if (Byte == IAC) {
            Data.push_back(static_cast<char>(IAC));
        } else if (Byte >= WILL) {
            FVerb = Byte;
            FState = TState::Option;
        } else if (Byte == SB) {
            FSub.clear();
            FSubTooLong = false;
            FState = TState::Sub;
        }
        return;  // other commands (NOP, GA, ...) mean nothing here
    case TState::Option:
        FState = TState::Data;
        Negotiate(FVerb, Byte, Now);
        return;
    case TState::Sub:
        if (Byte == IAC)
            FState = TState::SubIac;
        else if (FSub.size() < MaxSubnegotiation)
            FSub.push_back(static_cast<char>(Byte));
        else
            FSubTooLong = true;
        return;
    case TState::SubIac:
        if (Byte == IAC) {
            FState = TState::Sub;
            if (FSub.size() < MaxSubnegotiation) FSub.push_back(static_cast<char>(IAC));
            return;
        }
        if (Byte == SE) {
            FState = TState::Data;
            if (!FSubTooLong) Subnegotiation(Now);
            return;
        }
        // A command inside a subnegotiation ends it unfinished.
        FState = TState::Iac;
        TakeByte(Byte, Data, Now);
        return;
    }
}

void TRfc2217Client::Negotiate(uint8_t Verb, uint8_t Option, TClock::time_point Now) {
    // Replies only where the state changes, so two ends can never loop.
    if (Option == OptComPort) return NegotiateComPort(Verb, Now);
    const bool known = Option == OptBinary || Option == OptSuppressGoAhead;
    bool& local = Option == OptBinary ? FLocalBinary : FLocalSuppressGoAhead;
    bool& remote = Option == OptBinary ? FRemoteBinary : FRemoteSuppressGoAhead;
    const bool wanted = Verb == DO || Verb == WILL;
    const bool ofOurs = Verb == DO || Verb == DONT;
    if (!known) {
        if (wanted) SendVerb(ofOurs ? WONT : DONT, Option);
        return;
    }
    bool& state = ofOurs ? local : remote;
    if (state == wanted) return;
    state = wanted;
    SendVerb(ofOurs ? (wanted ? WILL : WONT) : (wanted ? DO : DONT), Option);
}

void TRfc2217Client::NegotiateComPort(uint8_t Verb, TClock::time_point Now) {
    if (Verb == DO && FComPort != TOption::On) {
        if (FComPort == TOption::Off) SendVerb(WILL, OptComPort);
        FComPort = TOption::On;
        for (const auto& [command, value] : FQueued) SendCommand(command, value);
        FQueued.clear();
        for (TPending& pending : FPending) pending.Since = Now;
    } else if (Verb == DONT && FComPort != TOption::Off) {
        if (FComPort == TOption::On) SendVerb(WONT, OptComPort);
        FComPort = TOption::Off;
        FQueued.clear();
        for (TPending& pending : FPending) pending.Waiting = false;
        Note("the server does not offer port control (RFC 2217); line settings and modem lines stay as the "
             "server has them");
    } else if (Verb == WILL) {
        // The server side of the option is not ours to take.
        SendVerb(DONT, OptComPort);
    }
}

void TRfc2217Client::Subnegotiation(TClock::time_point) {
    if (FSub.size() < 2 || static_cast<uint8_t>(FSub[0]) != OptComPort) return;
    const auto command = static_cast<uint8_t>(FSub[1]);
    if (command <= ComPort::ServerOffset) return;
    ComPortAnswer(static_cast<uint8_t>(command - ComPort::ServerOffset), std::string_view(FSub).substr(2));
}

void TRfc2217Client::ComPortAnswer(uint8_t Command, std::string_view Value) {
    if (Value.empty()) return;
    const auto first = static_cast<uint8_t>(Value[0]);
    switch (Command) {
    case ComPort::SetBaudRate:
        if (Value.size() >= 4) FAnswered.Baud = BigEndian(Value);
        break;
    case ComPort::SetDataSize: FAnswered.DataSize = first; break;
    case ComPort::SetParity: FAnswered.Parity = first; break;
    case ComPort::SetStopSize: FAnswered.StopSize = first; break;
    case ComPort::SetControl:
        if (SettingOf(Command, first) == TComSetting::Flow) FAnswered.Flow = first;
        break;
    case ComPort::NotifyLineState: FLineErrors |= first & 0x1E; return;
    case ComPort::NotifyModemState: FModemState = first; return;
    default: break;
    }
    if (const auto setting = SettingOf(Command, first)) Answer(*setting, Value);
}

void TRfc2217Client::Answer(TComSetting Setting, std::string_view Value) {
    TPending& pending = Pending(Setting);
    if (!pending.Waiting) return;
    pending.Waiting = false;
    if (IsQuery(Setting, pending.Value) || Value == pending.Value) return;
    // Another DTR/RTS/break request in between can explain a different state.
    if (Setting == TComSetting::Purge) return;
    Note(std::string("the server set the ") + SettingName(Setting) + " to " + ValueText(Setting, Value) + ", not " +
         ValueText(Setting, pending.Value));
}

void TRfc2217Client::Request(uint8_t Command, std::string_view Value, TClock::time_point Now) {
    if (FComPort == TOption::Off) return;
    const uint8_t first = Value.empty() ? 0 : static_cast<uint8_t>(Value[0]);
    const std::optional<TComSetting> setting = SettingOf(Command, first);
    if (setting) {
        TPending& pending = Pending(*setting);
        pending.Waiting = true;
        pending.Value = std::string(Value);
        pending.Since = Now;
    }
    if (FComPort == TOption::On) return SendCommand(Command, Value);
    // Waiting for the option: only the latest request of each setting counts.
    const auto same = std::find_if(FQueued.begin(), FQueued.end(), [&](const auto& Queued) {
        return Queued.first == Command && SettingOf(Command, Queued.second.empty() ? 0 : Queued.second[0]) == setting;
    });
    if (setting && same != FQueued.end())
        same->second = std::string(Value);
    else if (FQueued.size() < 32)
        FQueued.emplace_back(Command, std::string(Value));
}

void TRfc2217Client::SendCommand(uint8_t Command, std::string_view Value) {
    FOutgoing += {static_cast<char>(IAC), static_cast<char>(SB), static_cast<char>(OptComPort), static_cast<char>(Command)};
    AppendEscaped(Value, FOutgoing);
    FOutgoing += {static_cast<char>(IAC), static_cast<char>(SE)};
}

void TRfc2217Client::SendVerb(uint8_t Verb, uint8_t Option) {
    FOutgoing += {static_cast<char>(IAC), static_cast<char>(Verb), static_cast<char>(Option)};
}

void TRfc2217Client::Note(std::string Text) {
    // A server that keeps changing its mind must not fill memory with notices.
    if (FNotices.size() < 16) FNotices.push_back(std::move(Text));
}

std::string TRfc2217Client::TakeOutgoing() { return std::exchange(FOutgoing, {}); }

std::vector<std::string> TRfc2217Client::TakeNotices(TClock::time_point Now) {
    if (FComPort == TOption::Asked && !FSilenceReported && Now >= FAskedSince + AnswerWait) {
        FSilenceReported = true;
        Note("the server did not answer the offer of port control (RFC 2217); going on without it");
    }
    for (std::size_t i = 0; i < FPending.size(); ++i) {
        TPending& pending = FPending[i];
        if (!pending.Waiting || FComPort != TOption::On || Now < pending.Since + AnswerWait) continue;
        pending.Waiting = false;
        if (std::exchange(pending.Reported, true)) continue;
        Note(std::string("the server did not answer the request for ") +
             SettingName(static_cast<TComSetting>(i)) + "; going on without it");
    }
    return std::exchange(FNotices, {});
}

std::optional<TRfc2217Client::TClock::time_point> TRfc2217Client::NextDeadline() const {
    std::optional<TClock::time_point> next;
    const auto consider = [&](TClock::time_point At) { next = next ? std::min(*next, At) : At; };
    if (FComPort == TOption::Asked && !FSilenceReported) consider(FAskedSince + AnswerWait);
    if (FComPort == TOption::On)
        for (const TPending& pending : FPending)
            if (pending.Waiting) consider(pending.Since + AnswerWait);
    return next;
}

uint8_t TRfc2217Client::TakeLineErrors() { return std::exchange(FLineErrors, uint8_t{0}); }

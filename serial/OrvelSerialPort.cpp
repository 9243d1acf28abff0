// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/OrvelSerialPort.h"

#include <array>
#include <utility>

const char* const MsgStrInvalidCombination = "Invalid data-width and stop-bits combination.";
const char* const MsgStrCannotConnect = "Cannot connect to %s . %s";
const char* const MsgInvalidLogFile = "Invalid log file name or access denied.";

// ---- enumeration names ------------------------------------------------------

template <>
const TEnumTypeInfo& EnumTypeInfo<TCommPort>() {
    static const TEnumTypeInfo info = [] {
        TEnumTypeInfo i{"TCommPort", {"spNone"}};
        for (int n = 1; n <= 254; ++n) i.Names.push_back("spCOM" + std::to_string(n));
        i.Names.push_back("spCustom");
        return i;
    }();
    return info;
}

template <>
const TEnumTypeInfo& EnumTypeInfo<TBaudRate>() {
    static const TEnumTypeInfo info{
        "TBaudRate",
        {"br000075", "br000110", "br000134", "br000150", "br000300", "br000600", "br001200", "br001800",
         "br002400", "br004800", "br007200", "br009600", "br014400", "br019200", "br038400", "br057600",
         "br115200", "br128000", "br230400", "br256000", "br460800", "br921600", "brCustom"}};
    return info;
}

template <>
const TEnumTypeInfo& EnumTypeInfo<TDataWidth>() {
    static const TEnumTypeInfo info{"TDataWidth", {"dw5Bits", "dw6Bits", "dw7Bits", "dw8Bits"}};
    return info;
}

template <>
const TEnumTypeInfo& EnumTypeInfo<TStopBits>() {
    static const TEnumTypeInfo info{"TStopBits", {"sb1Bit", "sb1_5Bits", "sb2Bits"}};
    return info;
}

template <>
const TEnumTypeInfo& EnumTypeInfo<TParityBits>() {
    static const TEnumTypeInfo info{"TParityBits", {"pbNone", "pbOdd", "pbEven", "pbMark", "pbSpace"}};
    return info;
}

template <>
const TEnumTypeInfo& EnumTypeInfo<THwFlowControl>() {
    static const TEnumTypeInfo info{"THwFlowControl", {"hfNONE", "hfDTRDSR", "hfRTSCTS"}};
    return info;
}

template <>
const TEnumTypeInfo& EnumTypeInfo<TSwFlowControl>() {
    static const TEnumTypeInfo info{"TSwFlowControl", {"sfNONE", "sfXONXOFF"}};
    return info;
}

// ---- published properties, in declared order --------------------------------

const TClassInfo& TOrvelSerialPort::StaticClassInfo() {
    using C = TOrvelSerialPort;
    static const TClassInfo info =
        TClassInfoBuilder<C>("TOrvelSerialPort", &TComponent::StaticClassInfo())
            .Creatable()
            .Enum("Port", &C::GetCommPort, &C::SetCommPort, spNone)
            .Enum("BaudRate", &C::GetBaudRate, &C::SetBaudRate, br004800)
            .Enum("DataWidth", &C::GetDataWidth, &C::SetDataWidth, dw8Bits)
            .Enum("StopBits", &C::GetStopBits, &C::SetStopBits, sb1Bit)
            .Enum("Parity", &C::GetParity, &C::SetParity, pbNone)
            .Bool("EnableDTROnOpen", &C::GetEnableDTROnOpen, &C::SetEnableDTROnOpen, true)
            .Bool("EnableRTSOnOpen", &C::GetEnableRTSOnOpen, &C::SetEnableRTSOnOpen, true)
            .Enum("HwFlowControl", &C::GetHwFlowControl, &C::SetHwFlowControl, hfNONE)
            .Enum("SwFlowControl", &C::GetSwFlowControl, &C::SetSwFlowControl, sfNONE)
            .Char("XonChar", &C::GetXonChar, &C::SetXonChar, 17)
            .Char("XoffChar", &C::GetXoffChar, &C::SetXoffChar, 19)
            .UInt("XonLim", &C::GetXonLim, &C::SetXonLim, 0)
            .UInt("XoffLim", &C::GetXoffLim, &C::SetXoffLim, 1)
            .Bool("ParityCheck", &C::GetParityCheck, &C::SetParityCheck, false)
            .Bool("ReplaceParityErrors", &C::GetReplaceParityErrors, &C::SetReplaceParityErrors, false)
            .Bool("DiscardNulls", &C::GetDiscardNulls, &C::SetDiscardNulls, false)
            .Bool("DsrSensitivity", &C::GetDsrSensitivity, &C::SetDsrSensitivity, false)
            .Bool("TXContinueOnXoff", &C::GetTXContinueOnXoff, &C::SetTXContinueOnXoff, false)
            .Char("ErrorChar", &C::GetErrorChar, &C::SetErrorChar, 0)
            .Char("EofChar", &C::GetEofChar, &C::SetEofChar, 0)
            .UInt("ReadIntervalTimeout", &C::GetReadIntervalTimeout, &C::SetReadIntervalTimeout, 0xFFFFFFFF)
            .UInt("ReadTotalTimeoutMultiplier", &C::GetReadTotalTimeoutMultiplier,
                  &C::SetReadTotalTimeoutMultiplier, 0)
            .UInt("ReadTotalTimeoutConstant", &C::GetReadTotalTimeoutConstant, &C::SetReadTotalTimeoutConstant,
                  0)
            .UInt("WriteTotalTimeoutMultiplier", &C::GetWriteTotalTimeoutMultiplier,
                  &C::SetWriteTotalTimeoutMultiplier, 100)
            .UInt("WriteTotalTimeoutConstant", &C::GetWriteTotalTimeoutConstant,
                  &C::SetWriteTotalTimeoutConstant, 1000)
            .UInt("InputBuffer", &C::GetInputBuffer, &C::SetInputBuffer, 4096)
            .UInt("OutputBuffer", &C::GetOutputBuffer, &C::SetOutputBuffer, 4096)
            .Enum("Priority", &C::GetPriority, &C::SetPriority, tpNormal)
            .UInt("Delay", &C::GetDelay, &C::SetDelay, 100)
            .Str("CustomPortName", &C::GetCustomPortName, &C::SetCustomPortName)
            .Int("CustomBaudRate", &C::GetCustomBaudRate, &C::SetCustomBaudRate, 0)
            .Bool("LogInput", &C::GetLogInput, &C::SetLogInput, false)
            .Bool("LogDateTime", &C::GetLogDateTime, &C::SetLogDateTime, false)
            .UStr("LogFile", &C::GetLogFile, &C::SetLogFile)
            .Bool("AutoReceive", &C::GetAutoReceive, &C::SetAutoReceive, std::nullopt)
            .Bool("KeepEntireBuffer", &C::GetKeepEntireBuffer, &C::SetKeepEntireBuffer, false)
            .Event<TSendReceiveEvent>("OnReceive", &C::GetOnReceive, &C::SetOnReceive)
            .Event<TSendReceiveEvent>("OnSend", &C::GetOnSend, &C::SetOnSend)
            .Event<TLineStatusEvent>("OnLineStatusChange", &C::GetOnLineStatusChange, &C::SetOnLineStatusChange)
            .Event<TConnectEvent>("OnConnect", &C::GetOnConnect, &C::SetOnConnect)
            .Event<TConnectEvent>("OnDisconnect", &C::GetOnDisconnect, &C::SetOnDisconnect)
            .Build();
    return info;
}
OSTRA_CLASSINFO_IMPL(TOrvelSerialPort)

TOrvelSerialPort::TOrvelSerialPort(TComponent* AOwner) : TComponent(AOwner) {}

// ---- conversions ------------------------------------------------------------

namespace {

constexpr std::array<int32_t, brCustom> kBaudRates{75,    110,   134,   150,    300,    600,    1200,   1800,
                                                   2400,  4800,  7200,  9600,   14400,  19200,  38400,  57600,
                                                   115200, 128000, 230400, 256000, 460800, 921600};

// "COM1".."COM254" exactly: upper case, decimal, no leading zero.
int StandardPortNumber(const AnsiString& Name) {
    if (Name.size() < 4 || Name.size() > 6 || Name.compare(0, 3, "COM") != 0 || Name[3] == '0') return 0;
    int number = 0;
    for (std::size_t i = 3; i < Name.size(); ++i) {
        if (Name[i] < '0' || Name[i] > '9') return 0;
        number = number * 10 + (Name[i] - '0');
    }
    return number <= 254 ? number : 0;
}

}  // namespace

TCommPort TOrvelSerialPort::StringToCommPort(const AnsiString& Port) {
    const AnsiString name = Trim(Port);
    if (name.empty()) return spNone;
    const int number = StandardPortNumber(name);
    return number ? static_cast<TCommPort>(number) : spCustom;
}

AnsiString TOrvelSerialPort::CommPortToString(TCommPort Port) const {
    if (Port == spNone) return {};
    if (Port != spCustom) return "COM" + IntToStr(Port);
    const AnsiString custom = GetCustomPortName();
    return Trim(custom).empty() ? AnsiString("vcom1") : custom;
}

int32_t TOrvelSerialPort::BaudRateToInt(TBaudRate pBaudRate) const {
    return pBaudRate < brCustom ? kBaudRates[pBaudRate] : FCustomBaudRate;
}

const std::array<int32_t, brCustom>& TOrvelSerialPort::StandardBaudRates() { return kBaudRates; }

TBaudRate TOrvelSerialPort::IntToBaudRate(int32_t Value) {
    for (std::size_t i = 0; i < kBaudRates.size(); ++i)
        if (kBaudRates[i] == Value) return static_cast<TBaudRate>(i);
    return brCustom;
}

// ---- port name --------------------------------------------------------------

AnsiString TOrvelSerialPort::GetPortName() const {
    std::lock_guard guard(FLock);
    return FPort;
}

TCommPort TOrvelSerialPort::GetCommPort() const { return StringToCommPort(GetPortName()); }

void TOrvelSerialPort::SetCommPort(TCommPort Value) {
    if (Value == GetCommPort()) return;
    const AnsiString name = CommPortToString(Value);
    std::lock_guard guard(FLock);
    FPort = name;
}

AnsiString TOrvelSerialPort::GetCustomPortName() const {
    std::lock_guard guard(FLock);
    return FCustomPortName;
}

void TOrvelSerialPort::SetCustomPortName(const AnsiString& Value) {
    const bool custom = GetCommPort() == spCustom;
    std::lock_guard guard(FLock);
    FCustomPortName = Trim(Value);
    if (custom) FPort = FCustomPortName;
}

// ---- line settings ----------------------------------------------------------

TBaudRate TOrvelSerialPort::GetBaudRate() const { return IntToBaudRate(FBaudRate); }

void TOrvelSerialPort::SetBaudRate(TBaudRate Value) {
    FBaudRate = BaudRateToInt(Value);
    Reapply();
}

void TOrvelSerialPort::SetCustomBaudRate(int32_t Value) {
    FCustomBaudRate = Value;
    if (GetBaudRate() != brCustom) return;
    FBaudRate = Value;
    Reapply();
}

TDataWidth TOrvelSerialPort::GetDataWidth() const {
    switch (FDataWidth) {
        case 5: return dw5Bits;
        case 6: return dw6Bits;
        case 7: return dw7Bits;
        default: return dw8Bits;
    }
}

void TOrvelSerialPort::CheckCombination(TDataWidth Width, TStopBits Stop) const {
    const bool refused = (Width == dw5Bits && Stop == sb2Bits) || (Width != dw5Bits && Stop == sb1_5Bits);
    if (refused) throw EOrvelSerialPortException(MsgStrInvalidCombination);
}

void TOrvelSerialPort::SetDataWidth(TDataWidth Value) {
    CheckCombination(Value, GetStopBits());
    FDataWidth = static_cast<uint8_t>(5 + Value);
    Reapply();
}

TStopBits TOrvelSerialPort::GetStopBits() const {
    return FStopBits == 1 ? sb1_5Bits : FStopBits == 2 ? sb2Bits : sb1Bit;
}

void TOrvelSerialPort::SetStopBits(TStopBits Value) {
    CheckCombination(GetDataWidth(), Value);
    FStopBits = Value;
    Reapply();
}

TParityBits TOrvelSerialPort::GetParity() const {
    return FParity >= 1 && FParity <= 4 ? static_cast<TParityBits>(FParity) : pbNone;
}

void TOrvelSerialPort::SetParity(TParityBits Value) {
    FParity = Value;
    Reapply();
}

void TOrvelSerialPort::Reapply() { SetDCBState(CurrentDevice()); }

// ---- other settings ---------------------------------------------------------

UnicodeString TOrvelSerialPort::GetLogFile() const {
    std::lock_guard guard(FLock);
    return FLogFile;
}

void TOrvelSerialPort::SetLogFile(const UnicodeString& Value) {
    std::lock_guard guard(FLock);
    FLogFile = Value;
}

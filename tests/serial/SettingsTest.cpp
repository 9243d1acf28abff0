// SPDX-License-Identifier: GPL-3.0-or-later
// Port settings: defaults, the name and rate conversions, and the setter rules.
#include <gtest/gtest.h>

#include "serial/OrvelSerialPort.h"
#include "serial/device/FakeCommBackend.h"
#include "toolkit/core/FormFile.h"

namespace {

// The device name Open asks the system for, without the "\\.\" before it.
std::string OpenedName(TOrvelSerialPort& Port) {
    TFakeCommBackend device;
    SetCommBackend(&device);
    Port.SetDelay(10);
    Port.Open();
    Port.Close();
    SetCommBackend(nullptr);
    const auto opens = device.CallsTo("CreateFileA");
    return opens.empty() ? std::string() : opens.back().Text.substr(4);
}

TEST(SerialSettings, NewComponentHasDeclaredDefaults) {
    TOrvelSerialPort port(nullptr);
    EXPECT_EQ(port.GetCommPort(), spNone);
    EXPECT_EQ(port.GetBaudRate(), br004800);
    EXPECT_EQ(port.GetDataWidth(), dw8Bits);
    EXPECT_EQ(port.GetStopBits(), sb1Bit);
    EXPECT_EQ(port.GetParity(), pbNone);
    EXPECT_EQ(port.GetCustomPortName(), "vcom1");
    EXPECT_DOUBLE_EQ(port.GetVersion(), 1.64);
    EXPECT_EQ(port.GetXonChar(), 17);
    EXPECT_EQ(port.GetXoffChar(), 19);
    EXPECT_EQ(port.GetReadIntervalTimeout(), 0xFFFFFFFFu);
    EXPECT_EQ(port.GetDelay(), 100u);
    EXPECT_TRUE(port.GetAutoReceive());
    EXPECT_TRUE(port.GetNeedSynchronization());
    EXPECT_EQ(port.IsConnected(), spNone);
}

struct NameCase {
    const char* Name;
    TCommPort Port;
};

class StringToCommPortTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(StringToCommPortTest, Converts) {
    EXPECT_EQ(TOrvelSerialPort::StringToCommPort(GetParam().Name), GetParam().Port) << '"' << GetParam().Name << '"';
}

INSTANTIATE_TEST_SUITE_P(Names, StringToCommPortTest,
                         ::testing::Values(NameCase{"COM1", spCOM1}, NameCase{"COM254", spCOM254},
                                           NameCase{"  COM12 ", spCOM12}, NameCase{"\tCOM3\r\n", spCOM3},
                                           NameCase{"com12", spCustom}, NameCase{"COM012", spCustom},
                                           NameCase{"COM0", spCustom}, NameCase{"COM255", spCustom},
                                           NameCase{"COM1000", spCustom}, NameCase{"COM", spCustom},
                                           NameCase{"COM1x", spCustom}, NameCase{"/dev/ttyUSB0", spCustom},
                                           NameCase{"", spNone}, NameCase{" \t ", spNone}));

TEST(SerialSettings, CommPortToString) {
    TOrvelSerialPort port(nullptr);
    EXPECT_EQ(port.CommPortToString(spCOM7), "COM7");
    EXPECT_EQ(port.CommPortToString(spCOM254), "COM254");
    EXPECT_EQ(port.CommPortToString(spNone), "");
    EXPECT_EQ(port.CommPortToString(spCustom), "vcom1");
    port.SetCustomPortName("   ");
    EXPECT_EQ(port.GetCustomPortName(), "");
    EXPECT_EQ(port.CommPortToString(spCustom), "vcom1");
    port.SetCommPort(spCustom);
    EXPECT_EQ(OpenedName(port), "vcom1") << "a custom port without a name opens the default one";
}

TEST(SerialSettings, CustomPortNameFollowsTheCustomPort) {
    TOrvelSerialPort port(nullptr);
    port.SetCustomPortName("myport");
    EXPECT_EQ(port.GetCommPort(), spNone);
    port.SetCommPort(spCustom);
    EXPECT_EQ(OpenedName(port), "myport");

    port.SetCustomPortName("  other ");
    EXPECT_EQ(port.GetCustomPortName(), "other");
    port.SetCommPort(spCustom);  // already custom: keeps the current name
    EXPECT_EQ(OpenedName(port), "other");

    port.SetCustomPortName("COM7");  // a standard name reads as that port
    EXPECT_EQ(port.GetCommPort(), spCOM7);

    port.SetCustomPortName("again");
    port.SetCommPort(spCustom);
    port.SetCustomPortName("  ");  // no name left: no port
    EXPECT_EQ(port.GetCommPort(), spNone);
}

TEST(SerialSettings, CustomPortNameLeavesAStandardPortAlone) {
    TOrvelSerialPort port(nullptr);
    port.SetCommPort(spCOM3);
    port.SetCustomPortName("elsewhere");
    EXPECT_EQ(port.GetCommPort(), spCOM3);
    EXPECT_EQ(port.GetCustomPortName(), "elsewhere");
}

TEST(SerialSettings, BaudRateTable) {
    const std::pair<TBaudRate, int32_t> table[] = {
        {br000075, 75},       {br000110, 110},     {br000134, 134},       {br000150, 150},
        {br000300, 300},      {br000600, 600},     {br001200, 1200},      {br001800, 1800},
        {br002400, 2400},     {br004800, 4800},    {br007200, 7200},      {br009600, 9600},
        {br014400, 14400},    {br019200, 19200},   {br038400, 38400},     {br057600, 57600},
        {br115200, 115200},   {br128000, 128000},  {br230400, 230400},    {br256000, 256000},
        {br460800, 460800},   {br921600, 921600}};
    TOrvelSerialPort port(nullptr);
    for (const auto& [rate, value] : table) {
        EXPECT_EQ(port.BaudRateToInt(rate), value);
        EXPECT_EQ(TOrvelSerialPort::IntToBaudRate(value), rate);
    }
    for (int32_t other : {0, -1, 9601, 31250, 1000000}) EXPECT_EQ(TOrvelSerialPort::IntToBaudRate(other), brCustom);
    port.SetCustomBaudRate(31250);
    EXPECT_EQ(port.BaudRateToInt(brCustom), 31250);
}

TEST(SerialSettings, CustomBaudRateIsOnlyRememberedWhileATableRateIsSelected) {
    TOrvelSerialPort port(nullptr);
    port.SetBaudRate(br009600);
    port.SetCustomBaudRate(31250);
    EXPECT_EQ(port.GetBaudRate(), br009600);
    port.SetBaudRate(brCustom);
    EXPECT_EQ(port.GetBaudRate(), brCustom);
    EXPECT_EQ(port.BaudRateToInt(port.GetBaudRate()), 31250);
    port.SetCustomBaudRate(19200);  // a custom rate that is a table rate reads as that entry
    EXPECT_EQ(port.GetBaudRate(), br019200);
}

TEST(SerialSettings, RefusedDataWidthAndStopBitsCombinationsKeepTheOldValue) {
    TOrvelSerialPort port(nullptr);
    EXPECT_THROW(port.SetStopBits(sb1_5Bits), EOrvelSerialPortException);
    EXPECT_EQ(port.GetStopBits(), sb1Bit);

    port.SetDataWidth(dw5Bits);
    port.SetStopBits(sb1_5Bits);
    EXPECT_EQ(port.GetStopBits(), sb1_5Bits);
    for (TDataWidth wider : {dw6Bits, dw7Bits, dw8Bits}) {
        EXPECT_THROW(port.SetDataWidth(wider), EOrvelSerialPortException);
        EXPECT_EQ(port.GetDataWidth(), dw5Bits);
    }
    EXPECT_THROW(port.SetStopBits(sb2Bits), EOrvelSerialPortException);
    EXPECT_EQ(port.GetStopBits(), sb1_5Bits);

    port.SetStopBits(sb1Bit);
    port.SetDataWidth(dw8Bits);
    port.SetStopBits(sb2Bits);
    try {
        port.SetDataWidth(dw5Bits);
        FAIL() << "5 data bits with 2 stop bits was accepted";
    } catch (const EOrvelSerialPortException& e) {
        EXPECT_STREQ(e.what(), "Invalid data-width and stop-bits combination.");
    }
    EXPECT_EQ(port.GetDataWidth(), dw8Bits);
}

TEST(SerialSettingsForm, WritesOnlyWhatDiffersFromTheDefaults) {
    TOrvelSerialPort port(nullptr);
    port.SetName("Port1");
    EXPECT_EQ(WriteComponentText(port),
              "object Port1: TOrvelSerialPort\n"
              "  CustomPortName = 'vcom1'\n"
              "  AutoReceive = True\n"
              "end\n");

    port.SetCommPort(spCOM3);
    port.SetBaudRate(br115200);
    port.SetXonChar('\x11');  // the default
    port.SetXoffChar('\xFE');
    port.SetDelay(20);
    port.SetLogFile(u"r\u00E9sum\u00E9.log");
    const std::string text = WriteComponentText(port);
    EXPECT_EQ(text,
              "object Port1: TOrvelSerialPort\n"
              "  Port = spCOM3\n"
              "  BaudRate = br115200\n"
              "  XoffChar = #254\n"
              "  Delay = 20\n"
              "  CustomPortName = 'vcom1'\n"
              "  LogFile = 'r'#233'sum'#233'.log'\n"
              "  AutoReceive = True\n"
              "end\n");

    TOrvelSerialPort copy(nullptr);
    ReadComponentText(copy, text);
    EXPECT_EQ(WriteComponentText(copy), text);
}

TEST(SerialSettingsForm, LoadingOrderGivesTheCustomNameAndRate) {
    TOrvelSerialPort port(nullptr);
    ReadComponentText(port,
                      "object Port1: TOrvelSerialPort\n"
                      "  Port = spCustom\n"
                      "  BaudRate = brCustom\n"
                      "  DataWidth = dw5Bits\n"
                      "  StopBits = sb1_5Bits\n"
                      "  CustomPortName = 'myport'\n"
                      "  CustomBaudRate = 31250\n"
                      "end\n");
    EXPECT_EQ(port.GetCommPort(), spCustom);
    EXPECT_EQ(port.CommPortToString(port.GetCommPort()), "myport");
    EXPECT_EQ(port.GetBaudRate(), brCustom);
    EXPECT_EQ(port.BaudRateToInt(port.GetBaudRate()), 31250);
    EXPECT_EQ(port.GetStopBits(), sb1_5Bits);
}

}  // namespace

// Lists the serial ports the engine finds, one per line.
#include <cstdio>

#include "serial/OrvelSerialPort.h"

int main() {
    TOrvelSerialPort port(nullptr);
    TStringList names;
    port.GetExistingCommPortNames(&names);
    if (names.Count() == 0) std::puts("No serial ports found.");
    for (int i = 0; i < names.Count(); ++i) std::puts(names[i].c_str());
    return 0;
}

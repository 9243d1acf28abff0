// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/PortHints.h"

#include <QComboBox>
#include <QTextDocument>

#include "serial/OrvelSerialPort.h"
#include "toolkit/ui/StdCtrls.h"

#ifndef _WIN32
#include "serial/device/PortInfo.h"
#include "serial/device/PortNames.h"

std::exception_ptr WithPortFailureHint(std::exception_ptr Failure, const std::string& Name) {
    try {
        std::rethrow_exception(Failure);
    } catch (const EOrvelSerialPortException& e) {
        const std::string hint = PortFailureHint(e.Message(), ResolvePortPath(Name), SystemHintSources());
        if (!hint.empty()) return std::make_exception_ptr(EOrvelSerialPortException(e.Message() + "\n" + hint));
    } catch (...) {
    }
    return Failure;
}

void AttachPortTooltips(TComboBox& PortList) {
    QComboBox* box = &PortList.Box();
    const auto describe = [box](int First, int Last) {
        for (int row = First; row <= Last; ++row) {
            const TPortInfo info = DescribePort(box->itemText(row).toStdString());
            // Strings from a device are text, never markup.
            const QString description = QString::fromStdString(PortDescription(info));
            box->setItemData(row, Qt::convertFromPlainText(description), Qt::ToolTipRole);
        }
    };
    describe(0, box->count() - 1);
    QObject::connect(box->model(), &QAbstractItemModel::rowsInserted, box,
                     [describe](const QModelIndex&, int First, int Last) { describe(First, Last); });
}

#else

// Windows names its ports itself and says why an open failed.
void AttachPortTooltips(TComboBox&) {}
std::exception_ptr WithPortFailureHint(std::exception_ptr Failure, const std::string&) { return Failure; }

#endif

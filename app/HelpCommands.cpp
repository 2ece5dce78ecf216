// The Help menu's About box: the program's version, the libraries it is
// built on with their licences, and where its settings and simulated sensors
// are kept.

#include "OstrelDlg.h"

#include "MessageBox.h"
#include "SensorStore.h"
#include "Settings.h"

#include <boost/version.hpp>
#include <pugixml.hpp>

namespace
{

// Where the simulation tool keeps its sensors unless told otherwise.
QString SimulatedSensorsFolder()
{
    try
    {
        return QString::fromStdString(SensorStore::DefaultFolder().string());
    }
    catch (const SensorStoreError& error)
    {
        return QString::fromStdString(error.what());
    }
}

QString AboutText()
{
    const QString boost = QStringLiteral("%1.%2").arg(BOOST_VERSION / 100000).arg(BOOST_VERSION / 100 % 1000);
    const QString pugixml = QStringLiteral("%1.%2").arg(PUGIXML_VERSION / 1000).arg(PUGIXML_VERSION % 1000 / 10);
    return QStringLiteral("Ostrel %1\r\n"
                          "Editor of the S-parameter correction of RF power sensor calibration data sets.\r\n\r\n"
                          "Built on:\r\n"
                          "Qt %2 (LGPL-3.0)\r\n"
                          "Boost %3 (Boost Software License 1.0)\r\n"
                          "pugixml %4 (MIT)\r\n"
                          "libusb-1.0 (LGPL-2.1-or-later)\r\n"
                          "libtirpc (BSD-3-Clause)\r\n"
                          "zlib (zlib licence)\r\n\r\n"
                          "Settings: %5\r\n"
                          "Simulated sensors: %6")
        .arg(QStringLiteral(OSTREL_VERSION), QString::fromLatin1(qVersion()), boost, pugixml, SettingsFilePath(),
             SimulatedSensorsFolder());
}

} // namespace

void COstrelDlg::OnHelpAbout()
{
    MessageBox(this, AboutText(), QStringLiteral("About Ostrel"), MB_OK | MB_ICONINFORMATION);
}

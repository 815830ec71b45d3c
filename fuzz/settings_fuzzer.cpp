// The settings file "zorvan.ini", edited by hand: any bytes, any number of
// lines. Whatever it holds, the loader yields eight texts per list and a
// message only for a malformed file, and what it loaded can be saved and
// loaded again.

#include "fuzz/fuzz_support.h"
#include "settings/settings_file.h"

#include <QFile>

#include <cstdlib>

namespace {

bool EightTexts(const Settings& s) {
    return s.Texts.other.size() == 8 && s.Texts.relay.size() == 8 && s.Texts.digOut.size() == 8 &&
           s.Texts.digIn.size() == 8;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const QString folder = EnterScratchFolder();
    {
        QFile file(QString::fromLatin1(SettingsFileName));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(Bytes(data, size)) != static_cast<qint64>(size))
            std::abort();
    }

    Settings s;
    const SettingsLoad load = LoadSettings(QString::fromLatin1(SettingsFileName), s);
    if (load.status == SettingsLoad::Missing || !EightTexts(s))
        std::abort();
    if ((load.status == SettingsLoad::Malformed) == load.Message().isEmpty())
        std::abort();

    // Saved, the settings read back as a well-formed file of the same values.
    const QString saved = QStringLiteral("saved.ini");
    if (!SaveSettings(saved, s))
        std::abort();
    Settings again;
    if (LoadSettings(saved, again).status != SettingsLoad::Loaded || !EightTexts(again) ||
        again.BaudRate != s.BaudRate || again.ComPortNumber != s.ComPortNumber ||
        again.MaxMoment != s.MaxMoment || again.MaxWeight != s.MaxWeight ||
        again.WeightMode != s.WeightMode || again.RefreshPeriod != s.RefreshPeriod)
        std::abort();
    return 0;
}

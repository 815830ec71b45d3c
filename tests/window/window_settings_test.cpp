// Start-up and shut-down: the settings file read from the start directory,
// the run folder, and the file written into it at the end.

#include "window_fixture.h"

#include <QDir>
#include <QFile>
#include <QRadioButton>
#include <QSpinBox>
#include <QStatusBar>

namespace {
QStringList ListLines(const MessageTexts& t) {
    return t.other + t.relay + t.digOut + t.digIn;
}

QByteArray FileBytes(const QStringList& lines) {
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += TextFile::Encode(line) + "\r\n";
    return bytes;
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

MessageTexts EditedTexts() {
    MessageTexts t = MessageTexts::Defaults();
    for (int k = 0; k < 8; ++k) {
        t.other[k] = QStringLiteral("Прочее %1").arg(k);
        t.relay[k] = QStringLiteral("Реле №%1").arg(k);
        t.digOut[k] = QStringLiteral("Выход №%1").arg(k);
        t.digIn[k] = QStringLiteral("Вход №%1").arg(k);
    }
    return t;
}
} // namespace

class StartUpTest : public WindowTest {
protected:
    QString RunIni() const {
        return QDir(window->RunFolder()).filePath(QStringLiteral("zorvan.ini"));
    }
};

TEST_F(StartUpTest, FirstRunTakesTheDefaultsAndWritesThemIntoTheRunFolder) {
    TZorvan& w = OpenWindow();
    EXPECT_TRUE(gateway.shown.empty());
    EXPECT_EQ(w.ComSpin->value(), 1);
    EXPECT_EQ(w.SpidSpin->value(), 9600);
    EXPECT_EQ(w.MaxSpin->value(), 800);
    EXPECT_EQ(w.BecSpin->value(), 50);
    EXPECT_FALSE(w.BecSpin->isEnabled());
    EXPECT_EQ(w.SexSpin->value(), 1);
    EXPECT_TRUE(w.RadioMax->isChecked());
    const MessageTexts defaults = MessageTexts::Defaults();
    for (int k = 0; k < 8; ++k) {
        const auto n = static_cast<std::size_t>(k);
        EXPECT_EQ(w.RelayPanel[n]->toolTip(), defaults.relay[k]);
        EXPECT_EQ(w.DigitPanel[n]->toolTip(), defaults.digOut[k]);
        EXPECT_EQ(w.DigoutPanel[n]->toolTip(), defaults.digIn[k]);
    }

    // The run folder is made in the start directory and becomes current.
    ASSERT_FALSE(w.RunFolder().isEmpty());
    const QFileInfo folder(w.RunFolder());
    EXPECT_EQ(QDir(folder.absolutePath()).canonicalPath(), QDir(startDir.path()).canonicalPath());
    EXPECT_EQ(QDir::current().canonicalPath(), QDir(w.RunFolder()).canonicalPath());
    // Where the files go is told by the status bar, its own texts left to the operations.
    EXPECT_TRUE(w.StatusBar->toolTip().startsWith(QStringLiteral("Файлы этого запуска: ") +
                                                  QDir::toNativeSeparators(w.RunFolder()) + '\n'))
        << w.StatusBar->toolTip().toStdString();
    const QString written = RunIni();

    CloseWindow();
    const QStringList expected =
        QStringList{QStringLiteral("9600"), QStringLiteral("1"),      QStringLiteral("800"),
                    QStringLiteral("50"),   QStringLiteral("момент"), QStringLiteral("1")} +
        ListLines(defaults);
    ASSERT_EQ(expected.size(), 38);
    EXPECT_EQ(ReadAll(written), FileBytes(expected));
    // The start directory holds no settings file of this run.
    EXPECT_FALSE(QFile::exists(QDir(startDir.path()).filePath(QStringLiteral("zorvan.ini"))));
    EXPECT_TRUE(gateway.shown.empty());
}

TEST_F(StartUpTest, SettingsReadAtStartComeBackAtTheEnd) {
    const MessageTexts texts = EditedTexts();
    const QStringList lines =
        QStringList{QStringLiteral("2400"), QStringLiteral("3"),   QStringLiteral("1200"),
                    QStringLiteral("75"),   QStringLiteral("вес"), QStringLiteral("5")} +
        ListLines(texts);
    WriteIni(lines);
    TZorvan& w = OpenWindow();
    EXPECT_TRUE(gateway.shown.empty());
    EXPECT_EQ(w.ComSpin->value(), 3);
    EXPECT_EQ(w.Port.ComNumber(), 3);
    EXPECT_EQ(w.SpidSpin->value(), 2400);
    EXPECT_EQ(w.Port.Baud(), 2400);
    EXPECT_EQ(w.MaxSpin->value(), 1200);
    EXPECT_EQ(w.BecSpin->value(), 75);
    EXPECT_EQ(w.SexSpin->value(), 5);
    EXPECT_TRUE(w.RadioBec->isChecked());
    EXPECT_TRUE(w.BecSpin->isEnabled());
    EXPECT_FALSE(w.MaxSpin->isEnabled());
    EXPECT_EQ(w.Texts.other, texts.other);
    EXPECT_EQ(w.RelayPanel[3]->toolTip(), texts.relay[3]);
    const QString written = RunIni();
    CloseWindow();
    EXPECT_EQ(ReadAll(written), FileBytes(lines));
}

struct RadioLine {
    const char* name;
    const char* line5;
    bool weight;
};

void PrintTo(const RadioLine& row, std::ostream* os) {
    *os << row.name;
}

class RadioLineTest : public StartUpTest, public ::testing::WithParamInterface<RadioLine> {};

TEST_P(RadioLineTest, OnlyTheExactWordChecksTheWeightRadio) {
    WriteIni(QStringList{QStringLiteral("9600"), QStringLiteral("1"), QStringLiteral("800"),
                         QStringLiteral("50"), QString::fromUtf8(GetParam().line5),
                         QStringLiteral("1")} +
             ListLines(MessageTexts::Defaults()));
    TZorvan& w = OpenWindow();
    EXPECT_EQ(w.RadioBec->isChecked(), GetParam().weight);
    EXPECT_EQ(w.RadioMax->isChecked(), !GetParam().weight);
    EXPECT_EQ(w.BecSpin->isEnabled(), GetParam().weight);
}

INSTANTIATE_TEST_SUITE_P(Line5, RadioLineTest,
                         ::testing::Values(RadioLine{"ves", "вес", true},
                                           RadioLine{"capital_Ves", "Вес", false},
                                           RadioLine{"moment", "момент", false},
                                           RadioLine{"empty", "", false},
                                           RadioLine{"other", "weight", false}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(StartUpTest, MalformedLineIsReportedOnceAndStartUpGoesOn) {
    WriteIni(QStringList{QStringLiteral("4800"), QStringLiteral("2"), QStringLiteral("12x"),
                         QStringLiteral("60"), QStringLiteral("вес"), QStringLiteral("3")} +
             ListLines(EditedTexts()));
    TZorvan& w = OpenWindow();
    ASSERT_EQ(gateway.shown.size(), 1u);
    EXPECT_EQ(gateway.shown[0].icon, MessageIcon::Error);
    EXPECT_TRUE(gateway.shown[0].text.contains(QStringLiteral("12x")));
    EXPECT_TRUE(gateway.shown[0].text.contains(QStringLiteral("3")));
    // What came before the bad line stays; the rest takes the defaults.
    EXPECT_EQ(w.SpidSpin->value(), 4800);
    EXPECT_EQ(w.ComSpin->value(), 2);
    EXPECT_EQ(w.MaxSpin->value(), 800);
    EXPECT_EQ(w.SexSpin->value(), 1);
    for (const QStringList* list :
         {&w.Texts.other, &w.Texts.relay, &w.Texts.digOut, &w.Texts.digIn})
        EXPECT_EQ(list->size(), 8);
    EXPECT_EQ(w.RelayPanel[0]->toolTip(), MessageTexts::Defaults().relay[0]);
    // The run folder is made all the same.
    EXPECT_FALSE(w.RunFolder().isEmpty());
}

TEST_F(StartUpTest, ValuesOutsideTheControlsAreBroughtIntoRange) {
    WriteIni(QStringList{QStringLiteral("19200"), QStringLiteral("0"), QStringLiteral("-5"),
                         QStringLiteral("12000"), QStringLiteral("момент"), QStringLiteral("20")} +
             ListLines(MessageTexts::Defaults()));
    TZorvan& w = OpenWindow();
    EXPECT_TRUE(gateway.shown.empty());
    // The fields follow what the controls show, and so does the port.
    EXPECT_EQ(w.BaudRate, w.SpidSpin->value());
    EXPECT_EQ(w.BaudRate, 9600);
    EXPECT_EQ(w.Port.Baud(), 9600);
    EXPECT_EQ(w.ComPortNumber, 1);
    EXPECT_EQ(w.Port.ComNumber(), 1);
    EXPECT_EQ(w.MaxMoment, 0);
    EXPECT_EQ(w.MaxWeight, 9999);
    EXPECT_EQ(w.RefreshPeriod, 10);
    const QString written = RunIni();
    CloseWindow();
    const QList<QByteArray> lines = ReadAll(written).split('\n');
    ASSERT_GE(lines.size(), 6);
    EXPECT_EQ(lines[0], "9600\r");
    EXPECT_EQ(lines[1], "1\r");
    EXPECT_EQ(lines[2], "0\r");
    EXPECT_EQ(lines[3], "9999\r");
    EXPECT_EQ(lines[5], "10\r");
}

TEST_F(StartUpTest, ChangesOfTheRunAreWrittenAtTheEnd) {
    TZorvan& w = OpenWindow();
    w.ComSpin->setValue(4);
    w.SpidSpin->setValue(2400);
    w.RadioBec->click();
    w.BecSpin->setValue(40);
    w.Texts.digIn[2] = QStringLiteral("Датчик ветра");
    const QString written = RunIni();
    CloseWindow();
    const QList<QByteArray> lines = ReadAll(written).split('\n');
    ASSERT_EQ(lines.size(), 39); // 38 lines and nothing after the last CR LF
    EXPECT_EQ(lines[0], "2400\r");
    EXPECT_EQ(lines[1], "4\r");
    EXPECT_EQ(lines[3], "40\r");
    EXPECT_EQ(lines[4], TextFile::Encode(QStringLiteral("вес")) + "\r");
    EXPECT_EQ(lines[32], TextFile::Encode(QStringLiteral("Датчик ветра")) + "\r");
}

// Started from the menu there is no zorvan.ini in the start directory: the
// user's copy in the configuration folder carries the settings over.
TEST_F(StartUpTest, SettingsCarryOverThroughTheUsersConfigFolderUnlessTheStartHasAFile) {
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    ASSERT_FALSE(config.isEmpty()); // never the real user's folder
    const QString userCopy = QDir(config).filePath(QStringLiteral("zorvan/zorvan.ini"));
    ASSERT_EQ(UserSettingsPath(), userCopy);

    OpenWindow().ComSpin->setValue(5);
    CloseWindow();
    ASSERT_TRUE(QFile::exists(userCopy));
    EXPECT_EQ(OpenWindow().ComSpin->value(), 5);
    CloseWindow();

    // A file in the start directory still wins, and its values are saved.
    WriteIni(QStringList{QStringLiteral("2400"), QStringLiteral("3"), QStringLiteral("800"),
                         QStringLiteral("50"), QStringLiteral("момент"), QStringLiteral("1")} +
             ListLines(MessageTexts::Defaults()));
    TZorvan& w = OpenWindow();
    EXPECT_EQ(w.ComSpin->value(), 3);
    EXPECT_EQ(w.SpidSpin->value(), 2400);
    CloseWindow();
    EXPECT_EQ(ReadAll(userCopy).split('\n').value(1), "3\r");
    EXPECT_TRUE(gateway.shown.empty());
}

TEST_F(StartUpTest, FailedSaveIsShownAndTheEndStillRuns) {
    TZorvan& w = OpenWindow();
    // A folder in the way of the file makes it impossible to write.
    ASSERT_TRUE(QDir(w.RunFolder()).mkdir(QStringLiteral("zorvan.ini")));
    int completions = 0;
    w.CompleteFiles = [&completions] { ++completions; };
    w.show();
    EXPECT_TRUE(w.close());
    ASSERT_EQ(gateway.shown.size(), 1u);
    EXPECT_EQ(gateway.shown[0].icon, MessageIcon::Error);
    EXPECT_EQ(gateway.shown[0].text, TZorvan::SaveFailedText);
    // ShutDown ran all the same, files included.
    EXPECT_EQ(completions, 1);
    w.CompleteFiles = nullptr;
    ExpectIdle(w);
    // Destroying the closed window does not save or report a second time.
    CloseWindow();
    EXPECT_EQ(gateway.shown.size(), 1u);
}

TEST_F(StartUpTest, ShutDownHandsTheFilesToTheRunningReadout) {
    TZorvan& w = OpenWindow();
    int completions = 0;
    w.CompleteFiles = [&completions] { ++completions; };
    w.ShutDown();
    EXPECT_EQ(completions, 1);
    EXPECT_TRUE(gateway.shown.empty());
    ExpectIdle(w);
    // Without a readout, ShutDown touches no file.
    w.CompleteFiles = nullptr;
    w.ShutDown();
    EXPECT_TRUE(gateway.shown.empty());
    ExpectIdle(w);
    EXPECT_FALSE(QFile::exists(QDir(w.RunFolder()).filePath(QStringLiteral("zorvan.txt"))));
}

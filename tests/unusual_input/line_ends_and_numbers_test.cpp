// Settings files with CR CR LF line ends, and numbers that are no numbers.

#include "recorder_window.h"
#include "simulator/sim_options.h"

#include <QRadioButton>
#include <QSpinBox>

namespace {

using LineEndsAndNumbersTest = WindowTest;

TEST_F(LineEndsAndNumbersTest, CrCrLfSettingsAndNonFiniteDelays) {
    QByteArray bytes;
    QStringList lines{"4800", "3", "1200", "75", "вес", "5"};
    for (int i = 1; i <= 32; ++i)
        lines << QStringLiteral("t%1").arg(i);
    for (const QString& line : lines)
        bytes += TextFile::Encode(line) + "\r\r\n";
    QFile file(QDir(startDir.path()).filePath(QStringLiteral("zorvan.ini")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
    file.close();

    TZorvan& w = OpenWindow();
    EXPECT_TRUE(gateway.texts().isEmpty()) << gateway.texts().join('\n').toStdString();
    EXPECT_EQ(w.SpidSpin->value(), 4800);
    EXPECT_EQ(w.ComSpin->value(), 3);
    EXPECT_EQ(w.MaxSpin->value(), 1200);
    EXPECT_EQ(w.BecSpin->value(), 75);
    EXPECT_TRUE(w.RadioBec->isChecked());
    EXPECT_EQ(w.SexSpin->value(), 5);
    EXPECT_EQ(w.Texts.other[0], "t1");
    EXPECT_EQ(w.Texts.digIn[7], "t32");

    // A delay of the simulator that is no finite number is refused.
    for (const char* value : {"nan", "NaN", "-nan", "inf", "-inf", "1e999"}) {
        SimOptions o;
        QString error;
        EXPECT_FALSE(ParseSimOptions({"recorder-sim", "--erase-ack-delay", value}, &o, &error))
            << value;
        EXPECT_EQ(error, QStringLiteral("Bad value for --erase-ack-delay: ") + value);
    }
    SimOptions o;
    QString error;
    ASSERT_TRUE(ParseSimOptions({"recorder-sim", "--erase-ack-delay", "3600"}, &o, &error));
    EXPECT_EQ(o.faults.eraseAckDelayMs, 3600000);
}

} // namespace

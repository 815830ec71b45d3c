// Control characters in the identification block and in the message texts
// must not change the lines and columns of any file.

#include "app/message_texts_dialog.h"
#include "recorder_window.h"

#include <QTableWidget>

namespace {

using ControlCharactersTest = RecorderWindowTest;

// The shape of a file: per CR LF line its tab count, and whether it holds a
// form feed or a line break of its own.
QStringList Shape(const QByteArray& bytes) {
    QStringList shape;
    for (const QByteArray& line : bytes.split('\n')) {
        const bool crlf = line.endsWith('\r');
        const QByteArray body = crlf ? line.chopped(1) : line;
        shape << QStringLiteral("%1 tabs%2%3%4")
                     .arg(body.count('\t'))
                     .arg(body.contains('\f') ? " ff" : "")
                     .arg(body.contains('\r') ? " cr" : "")
                     .arg(crlf || line.isEmpty() ? "" : " lf");
    }
    return shape;
}

TEST_F(ControlCharactersTest, EveryFileKeepsItsLinesAndColumns) {
    // Relay texts with a CR inside, as an editor may leave them.
    const MessageTexts defaults = MessageTexts::Defaults();
    QStringList ini{"9600", "1", "800", "50", "момент", "1"};
    ini << defaults.other << QStringList(8, QStringLiteral("abc\rdef")) << defaults.digOut
        << defaults.digIn;
    WriteIni(ini);
    TZorvan& w = OpenOnRecorder();
    ASSERT_TRUE(gateway.texts().isEmpty());
    w.ETxtBox->setChecked(true);
    w.TxtBox->setChecked(true);

    GenerateOptions history;
    history.eventPointer = 0x3000B;
    history.sumPointer = 0x10040;
    sim.Generate(history);
    // The newest event is an operation of relay 2.
    sim.SetBytes(4, 0x3000B, QByteArray::fromHex("0714251209050C01008041"));

    const QStringList files{"zorvan.xls", "zorvan.txt", "summator.xls", "summator.txt",
                            "report.xls"};
    const auto readBoth = [&] {
        w.ReadMemButton->click();
        w.ReadSumButton->click();
        std::vector<QStringList> shapes;
        for (const QString& name : files)
            shapes.push_back(Shape(runBytes(name)));
        return shapes;
    };
    const std::vector<QStringList> plain = readBoth();
    EXPECT_EQ(runFile("zorvan.xls").filter("\tabc def\t"),
              QStringList{"25.12.2009\t14:07\t5\t12\t\tabc def\t00000001b\t00000000b\t10000000b"});

    // Every byte value in the identification block, 0x00 to 0xFF and on.
    QByteArray every(360, '\0');
    for (int i = 0; i < every.size(); ++i)
        every[i] = static_cast<char>(i % 256);
    sim.SetBytes(3, 1538, every);
    const std::vector<QStringList> wild = readBoth();
    EXPECT_EQ(gateway.texts().size(), 4) << gateway.texts().join('\n').toStdString();
    for (qsizetype i = 0; i < files.size(); ++i)
        EXPECT_EQ(wild[i], plain[i]) << files[i].toStdString();
    // Printable bytes stay as they are: field 1.8 holds 0x96 ... 0x9F.
    EXPECT_TRUE(runBytes("summator.xls").contains(every.mid(150, 10)));

    // A tab typed into a message-text dialog is a blank in the list.
    w.RELForm->Grid()->item(2, 1)->setText(QStringLiteral("x\ty\x7Fz"));
    EXPECT_EQ(w.Texts.relay[1], "x y z");
}

} // namespace

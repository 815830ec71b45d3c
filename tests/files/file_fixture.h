#pragma once

#include "decoding/fields.h"
#include "link/recorder_requests.h"
#include "tests/support/answering_gateway.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <QStringDecoder>
#include <QStringList>
#include <QTemporaryDir>

#include <array>
#include <cstdint>
#include <gtest/gtest.h>
#include <initializer_list>
#include <ostream>

// Failures show texts, not bytes.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& list, std::ostream* os) {
    *os << '{';
    for (const QString& text : list) {
        PrintTo(text, os);
        *os << ", ";
    }
    *os << '}';
}

// A reply buffer as the link leaves it: data byte k at index k. Index 0 and
// the bytes past the record hold stale values, as they would after earlier
// exchanges, so a writer that forgets to set the presence flags shows it.
using Reply = std::array<std::uint8_t, 32>;

inline Reply MakeReply(std::initializer_list<std::uint8_t> record) {
    Reply reply;
    reply.fill(0x00);
    std::size_t k = 1;
    for (std::uint8_t b : record)
        reply[k++] = b;
    return reply;
}

inline IdentData BlankIdent() {
    IdentData ident;
    ident.fill(0xFF);
    return ident;
}

// Every test runs in a fresh temporary folder as the current directory, as the
// program runs in its run folder.
class FileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        previous_ = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(dir_.path()));
    }
    void TearDown() override { QDir::setCurrent(previous_); }

    // The file as the program's readers see it: cp1251 bytes decoded, split at
    // CR LF. A file must end in CR LF; a missing file gives an empty list and
    // fails the test.
    static QStringList ReadLines(const QString& name) {
        QFile file(name);
        if (!file.open(QIODevice::ReadOnly)) {
            ADD_FAILURE() << "cannot read " << name.toStdString();
            return {};
        }
        const QByteArray bytes = file.readAll();
        QStringDecoder decoder("windows-1251");
        const QString text = decoder(bytes);
        if (text.isEmpty())
            return {};
        EXPECT_TRUE(text.endsWith(QStringLiteral("\r\n"))) << name.toStdString();
        // No bare LF or CR may appear: every line end is the pair.
        EXPECT_EQ(text.count(QLatin1Char('\n')), text.count(QStringLiteral("\r\n")));
        QStringList lines = text.split(QStringLiteral("\r\n"));
        lines.removeLast();
        return lines;
    }

    static QByteArray ReadBytes(const QString& name) {
        QFile file(name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    AnsweringGateway messages_;

private:
    QTemporaryDir dir_;
    QString previous_;
};

// Texts the tests build on their own, from the file layout.
inline QString Footer(int page) {
    return QString(27, QLatin1Char(' ')) + QStringLiteral("Страница ") + QString::number(page);
}

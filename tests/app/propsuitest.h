// What the property editors' tests share: the feed they start from, the
// check that a saved file kept every line it had, a small HEAD server and
// the ways a user types into the widgets.
#pragma once

#include "../cli/keptlines.h"
#include "../cli/testmedia.h"
#include "app/appresources.h"
#include "app/childframe.h"
#include "app/desktopuiservices.h"
#include "app/feedpropertiesdialog.h"
#include "app/mainframe.h"
#include "document/rsseditdoc.h"
#include "editor/rsseditview.h"
#include "feed/feedoptions.h"
#include "feed/newfeedinfo.h"
#include "htmlui/htmlsurface.h"
#include "platform/commandids.h"
#include "platform/settingsfile.h"
#include "postsbar/barrssitems.h"
#include "postsbar/postsbarcommands.h"
#include "postsbar/postslistview.h"
#include "propsui/postpropertiespane.h"
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QWebEngineView>
#include <functional>
#include <pugixml.hpp>

using namespace Qt::StringLiterals;

namespace propsuitest {

class QuietShellUi final : public DesktopUiServices {
public:
    void Beep() override {}
    bool OpenUrl(const QString&) override { return true; }
    bool OpenFolder(const QString&, QString*) override { return true; }
    SaveAnswer AskSaveChanges(const QString&) override {
        ++questions;
        return SaveAnswer::Save;
    }
    int questions = 0;
};

inline QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// As the program writes feeds: four blanks a level, one element a line; an
// element of a namespace nobody here knows and a comment, both to be kept.
inline const QByteArray kFeed = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                "<rss version=\"2.0\" xmlns:x=\"urn:example:x\">\n"
                                "    <channel>\n"
                                "        <title>Show</title>\n"
                                "        <link>https://show.example/</link>\n"
                                "        <description>All about it</description>\n"
                                "        <x:custom>keep me</x:custom>\n"
                                "        <!-- a note -->\n"
                                "        <item>\n"
                                "            <title>One</title>\n"
                                "            <link>https://show.example/1</link>\n"
                                "            <description>First</description>\n"
                                "            <pubDate>05 Dec 2026 10:45:34 GMT</pubDate>\n"
                                "            <x:custom>one</x:custom>\n"
                                "        </item>\n"
                                "        <item>\n"
                                "            <title>Two</title>\n"
                                "            <link>https://show.example/2</link>\n"
                                "            <description>Second</description>\n"
                                "            <pubDate>04 Dec 2026 09:00:00 GMT</pubDate>\n"
                                "        </item>\n"
                                "    </channel>\n"
                                "</rss>\n";

// Answers HEAD for one media file on 127.0.0.1.
class MediaServer final : public QObject {
public:
    MediaServer() {
        m_server.listen(QHostAddress::LocalHost);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    m_request += socket->readAll();
                    if (!m_request.contains("\r\n\r\n"))
                        return;
                    methods.append(QString::fromLatin1(m_request.left(m_request.indexOf(' '))));
                    m_request.clear();
                    socket->write("HTTP/1.1 200 OK\r\nContent-Type: audio/x-m4a\r\n"
                                  "Content-Length: 54321\r\nConnection: close\r\n\r\n");
                    socket->disconnectFromHost();
                });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    QString url(const QString& path) const {
        return u"http://127.0.0.1:%1%2"_s.arg(m_server.serverPort()).arg(path);
    }
    QStringList methods;

private:
    QTcpServer m_server;
    QByteArray m_request;
};

// Clicks into a line edit, selects what it holds and types text over it.
inline void TypeInto(QWidget* edit, const QString& text) {
    QVERIFY(edit);
    QTest::mouseClick(edit, Qt::LeftButton);
    edit->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(edit, Qt::Key_End);
    QTest::keyClick(edit, Qt::Key_Home, Qt::ShiftModifier);
    if (text.isEmpty())
        QTest::keyClick(edit, Qt::Key_Delete);
    else
        QTest::keyClicks(edit, text);
}

// Chooses an entry of a fixed list by typing its first letters, as the keyboard does.
inline void ChooseByKeys(QComboBox* box, const QString& text) {
    QVERIFY(box);
    box->setFocus(Qt::TabFocusReason);
    // Letters typed within the interval add to one search.
    QTest::qWait(QApplication::keyboardInputInterval() + 50);
    QTest::keyClicks(box, text);
    QCOMPARE(box->currentText(), text);
}

// Clicks a check box on its square, as a user aims.
inline void ClickCheck(QWidget* box) {
    QVERIFY(box);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
}

// Types into a cell of a table as a user does: F2 opens the cell's editor,
// Return puts the text in.
inline void TypeInCell(QTableWidget* table, int row, int column, const QString& text) {
    QVERIFY(table);
    table->setFocus(Qt::MouseFocusReason);
    table->setCurrentCell(row, column);
    QTest::keyClick(table, Qt::Key_F2);
    QLineEdit* editor = nullptr;
    QTRY_VERIFY((editor = qobject_cast<QLineEdit*>(table->focusWidget())));
    editor->selectAll();
    if (text.isEmpty())
        QTest::keyClick(editor, Qt::Key_Delete);
    else
        QTest::keyClicks(editor, text);
    QTest::keyClick(editor, Qt::Key_Return);
    if (text.isEmpty()) {
        QTRY_VERIFY(!table->item(row, column) || table->item(row, column)->text().isEmpty() ||
                    table->rowCount() == 0);
        return;
    }
    QTRY_VERIFY(table->item(row, column));
    QCOMPARE(table->item(row, column)->text(), text);
}

inline void ClickTab(QTabWidget* tabs, int index) {
    QTabBar* bar = tabs->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
    QCOMPARE(tabs->currentIndex(), index);
}

} // namespace propsuitest

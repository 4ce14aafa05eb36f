// Keyword highlighting: the dialog's rows and their settings, and the marks on real documents.
#include "app/mainwindow.h"
#include "testdata.h"
#include "testsupport.h"
#include "ui_mainwindow.h"
#include "views/core/keywordrules.h"
#include "views/keyhighlight.h"
#include "views/keyhighlightdialog.h"

#include <QtWidgets>

#include <memory>

using Settings = QMap<QString, QVariant>;
Q_DECLARE_METATYPE(Settings)

class tst_KeyHighlight : public PtyWindowTest {
    Q_OBJECT

private slots:
    void init()
    {
        PtyWindowTest::init();
        settings.reset(new QSettings(QStringLiteral("./Settings.ini"), QSettings::IniFormat));
        parent.reset(new QWidget);
        dialog = new KeyHighlightDialog(settings.get(), parent.get());
    }

    void cleanup()
    {
        KeyHighlightDialog::setColorChooser({});
        parent.reset();
        settings.reset();
        PtyWindowTest::cleanup();
    }

    void wholeWordPattern()
    {
        QCOMPARE(KeywordRules::wholeWordPattern("ERR"), QString("\\bERR\\b"));
        QCOMPARE(KeywordRules::wholeWordPattern("a\\.c"), QString("\\ba\\.c\\b"));
    }

    void patternCacheFollowsText()
    {
        KeywordRules rules(2);
        QRegExp& first = rules.pattern(0, "ERR");
        QCOMPARE(first, QRegExp("\\bERR\\b", Qt::CaseSensitive, QRegExp::RegExp));
        QCOMPARE(&rules.pattern(0, "ERR"), &first);
        QCOMPARE(QStringList({ rules.pattern(0, "WARN").pattern(), rules.pattern(1, "").pattern(),
                     rules.pattern(0, "WARN").pattern() }),
            QStringList({ "\\bWARN\\b", "\\b\\b", "\\bWARN\\b" })); // an empty keyword compiles too
    }

    void isLiteral_data()
    {
        const auto add = columns<QString, bool>("keyword", "literal");
        add("word", "ERR", true);
        add("Chinese with blank", "温度 过高", true);
        add("punctuation without syntax", "a-b:c=d!", true);
        add("empty", "", false);
        for (const char* c :
            { "\\", "^", "$", ".", "[", "]", "|", "(", ")", "?", "*", "+", "{", "}" })
            add(c, QString("a%1b").arg(QLatin1String(c)), false);
    }

    void isLiteral()
    {
        QFETCH(QString, keyword);
        QTEST(KeywordRules::isLiteral(keyword), "literal");
    }

    // The plain search in front of the pattern never changes what is marked.
    void literalShortcutAgreesWithPattern()
    {
        const QStringList keywords = { "ab", "b", "a b", "ERR", "_a", "错", "a.b", "b*", "(a)" };
        const QString alphabet = QStringLiteral("ab _E错.-");
        QRandomGenerator rng(99);
        KeywordRules rules(1);
        for (int round = 0; round < 5000; ++round) {
            QString text;
            for (int i = rng.bounded(14); i > 0; --i)
                text += alphabet.at(rng.bounded(alphabet.size()));
            const QString keyword = keywords.at(rng.bounded(keywords.size()));
            QRegExp rx(KeywordRules::wholeWordPattern(keyword), Qt::CaseSensitive, QRegExp::RegExp);
            QList<QPair<int, int>> expected;
            for (int pos = text.indexOf(rx, 0); pos >= 0 && rx.matchedLength() > 0;
                 pos = text.indexOf(rx, pos + rx.matchedLength()))
                expected.append({ pos, rx.matchedLength() });
            QList<QPair<int, int>> got;
            rules.forEachMatch(0, keyword, text, [&](int pos, int len) {
                got.append({ pos, len });
            });
            QVERIFY2(got == expected, qPrintable(keyword + " in " + text));
        }
    }

    void rowLayout()
    {
        auto* list = dialog->findChild<QListWidget*>("listWidget");
        QCOMPARE(list->count(), KeyHighlightDialog::kRows);
        for (int i = 0; i < list->count(); ++i) {
            QListWidgetItem* item = list->item(i);
            QCOMPARE(item->type(), 0);
            auto* frame = qobject_cast<QFrame*>(list->itemWidget(item));
            QVERIFY(frame && qobject_cast<QHBoxLayout*>(frame->layout()));
            QVERIFY(item->sizeHint().height() > 0); // the frame's hint when it was made
            QCOMPARE(frame->layout()->count(), 3);
            const Row r = row(*dialog, i);
            QVERIFY(r.enable && r.color && r.keyword);
            QVERIFY(r.enable->text().isEmpty() && r.color->text().isEmpty()
                && r.color->autoFillBackground());
            QCOMPARE(state(r), QString("off \"\""));
            QCOMPARE(colorOf(r), kGreen);
        }
    }

    void entryOfRows()
    {
        setRow(*dialog, 4, true, rowColor(4), "ERR");
        setRow(*dialog, 5, false, rowColor(5), "WARN");
        QColor color(1, 2, 3);
        QString text("untouched");
        // Out of range or unchecked: no entry, and nothing written.
        for (int index : { -1, 16, 5 })
            QVERIFY(!dialog->keyHighlightEntry(index, color, text));
        QCOMPARE(QVariantList({ color, text }), QVariantList({ QColor(1, 2, 3), "untouched" }));
        QVERIFY(dialog->keyHighlightEntry(4, color, text));
        QCOMPARE(QVariantList({ color, text }), QVariantList({ rowColor(4), "ERR" }));
    }

    void loadsSavedRows_data()
    {
        const auto add
            = columns<Settings, int, QString, QColor>("stored", "index", "state", "color");

        add("enabled row 10",
            { { "KHCEnable10", true }, { "KHCColor10", QColor(1, 2, 3) }, { "KHCText10", "x" } },
            10, "on \"x\"", QColor(1, 2, 3));
        add("disabled row ignores colour and text",
            { { "KHCEnable2", false }, { "KHCColor2", QColor(Qt::red) }, { "KHCText2", "abc" } }, 2,
            "off \"\"", kGreen);
        add("nothing stored", {}, 7, "off \"\"", kGreen);
        add("text without enable", { { "KHCText3", "abc" } }, 3, "off \"\"", kGreen);
        add("enabled without colour", { { "KHCEnable15", true }, { "KHCText15", "k" } }, 15,
            "on \"k\"", QColor());
        add("colour stored as text is no colour",
            { { "KHCEnable4", true }, { "KHCColor4", "#ff0000" }, { "KHCText4", "k" } }, 4,
            "on \"k\"", QColor());
        add("enabled without text", { { "KHCEnable0", "true" }, { "KHCColor0", QColor(9, 9, 9) } },
            0, "on \"\"", QColor(9, 9, 9));
        add("leading zero is another key", { { "KHCEnable09", true }, { "KHCText09", "x" } }, 9,
            "off \"\"", kGreen);
    }

    void loadsSavedRows()
    {
        QFETCH(Settings, stored);
        QFETCH(int, index);
        for (auto it = stored.cbegin(); it != stored.cend(); ++it)
            settings->setValue("KeyHighlightConfig/" + it.key(), it.value());
        settings->sync();

        QSettings reread(QStringLiteral("./Settings.ini"), QSettings::IniFormat);
        KeyHighlightDialog d(&reread, parent.get());
        QTEST(state(row(d, index)), "state");
        QTEST(colorOf(row(d, index)), "color");
        QVERIFY(reread.group().isEmpty());
    }

    void saveWritesEveryRowWithoutLeadingZeros()
    {
        setRow(*dialog, 9, true, rowColor(9), "nine");
        setRow(*dialog, 10, true, rowColor(10), "ten");
        dialog->findChild<QPushButton*>("slaveConfigButton")->click();

        QCOMPARE(boxes->calls.size(), 1);
        QCOMPARE(boxes->calls.first().kind, MsgBox::Information);
        QCOMPARE(QStringList({ boxes->calls.first().title, boxes->calls.first().text }),
            QStringList({ "关键字高亮",
                QString("保存配置成功！\r\n保存路径：%1\t")
                    .arg(QFileInfo(settings->fileName()).absoluteFilePath()) }));

        settings->sync();
        QSettings file(QStringLiteral("./Settings.ini"), QSettings::IniFormat);
        file.beginGroup("KeyHighlightConfig");
        QCOMPARE(file.childKeys().size(), 3 * KeyHighlightDialog::kRows);
        QVERIFY(!file.contains("KHCText09"));
        QCOMPARE(QVariantList({ file.value("KHCEnable10"), file.value("KHCText10"),
                     file.value("KHCColor10"), file.value("KHCText9"), file.value("KHCEnable0"),
                     file.value("KHCText0"), file.value("KHCColor0") }),
            QVariantList({ "true", "ten", rowColor(10), "nine", "false", "", kGreen }));
    }

    void disabledSavedRowReloadsEmptyAndGreen()
    {
        setRow(*dialog, 2, false, Qt::red, "abc");
        dialog->findChild<QPushButton*>("slaveConfigButton")->click();
        settings->sync();
        QSettings file(QStringLiteral("./Settings.ini"), QSettings::IniFormat);
        file.beginGroup("KeyHighlightConfig");
        QCOMPARE(QVariantList(
                     { file.value("KHCEnable2"), file.value("KHCText2"), file.value("KHCColor2") }),
            QVariantList({ "false", "abc", QColor(Qt::red) }));
        file.endGroup();

        KeyHighlightDialog again(&file, parent.get());
        QCOMPARE(state(row(again, 2)), QString("off \"\""));
        QCOMPARE(colorOf(row(again, 2)), kGreen);
    }

    void colourPicker_data()
    {
        const auto add = columns<QColor, QColor>("answer", "shown");
        add("chosen", QColor(255, 0, 0), QColor(255, 0, 0));
        add("cancelled", QColor(), QColor(0, 0, 255));
    }

    void colourPicker()
    {
        QFETCH(QColor, answer);
        QFETCH(QColor, shown);
        settings->setValue("KeyHighlightConfig/KHCEnable6", true);
        settings->setValue("KeyHighlightConfig/KHCColor6", QColor(0, 0, 255));
        KeyHighlightDialog d(settings.get(), parent.get());
        using Asked = QList<std::tuple<QColor, QWidget*, QString>>; // initial colour, parent, title
        Asked asked;
        KeyHighlightDialog::setColorChooser(
            [&](const QColor& initial, QWidget* p, const QString& title) {
                asked.append({ initial, p, title });
                return answer;
            });
        if (answer.isValid())
            QTest::ignoreMessage(QtDebugMsg, "color: QColor(ARGB 1, 1, 0, 0)");
        row(d, 6).color->click();

        // The picker opens on green whatever the row's colour is.
        QCOMPARE(asked, Asked({ { kGreen, &d, "选择高亮的背景色" } }));
        const QPalette palette = row(d, 6).color->palette();
        for (auto group : { QPalette::Active, QPalette::Inactive, QPalette::Disabled })
            QCOMPARE(palette.brush(group, QPalette::Button), QBrush(shown, Qt::SolidPattern));
        QCOMPARE(colorOf(row(d, 5)), kGreen);
    }

    void marks_data()
    {
        // rows: "index=keyword"; "!index=keyword" is an unchecked row.
        const auto add = columns<QStringList, QString, QString>("rows", "text", "expected");
        const QStringList err = { "0=ERR" };
        add("ERR before a blank", err, "ERR 5", "aaa..");
        add("ERR in brackets", err, "[ERR]", ".aaa.");
        add("ERR inside ERROR", err, "ERROR", ".....");
        add("XERR", err, "XERR", "....");
        add("underscore is a word character", err, "ERR_1 ERR", "......aaa");
        add("every occurrence", err, "ERR,ERR ERR", "aaa.aaa.aaa");
        add("case compared", { "0=err" }, "ERR 5", ".....");
        add("dot is a wildcard", { "0=a.c" }, "abc a.c", "aaa.aaa");
        add("escaped dot", { "0=a\\.c" }, "abc a.c", "....aaa");
        add("Chinese inside a run", { "0=错误" }, "发生错误了", ".....");
        add("Chinese between blanks", { "0=错误" }, "发生 错误 了", "...aa..");
        add("Chinese between punctuation", { "0=错误" }, "发生，错误。", "...aa.");
        add("Chinese against Latin letters", { "0=错误" }, "错误ERR", ".....");
        add("x* on a block starting otherwise", { "0=x*" }, "abc xx", "......");
        add("x* on a block starting with x", { "0=x*" }, "xx abc xx", "aa.......");
        add("higher row wins an overlap", { "3=ERR", "7=E.R" }, "ERR", "hhh");
        add("lower row keeps its own matches", { "3=ERR", "7=WARN" }, "ERR WARN", "ddd.hhhh");
        add("partial overlap", { "2=ERR 5", "5=5 x" }, "ERR 5 x", "ccccfff");
        add("rows 10 and 15", { "10=ERR", "15=WARN" }, "ERR WARN", "kkk.pppp");
        add("empty keyword", { "0=" }, "anything", "........");
        add("unchecked row", { "!0=ERR" }, "ERR 5", ".....");
        add("invalid pattern", { "0=ERR(" }, "ERR( x", "......");
        add("alternation bounded at its ends only", { "0=ON|OFF" }, "ONE OFFSET OFF",
            "aa.........aaa");
        add("empty block", err, "", "");
    }

    void marks()
    {
        QFETCH(QStringList, rows);
        QFETCH(QString, text);
        QTEST(marks(highlighter(rows), text), "expected");
    }

    void rowWithoutColourIsBoldOnly()
    {
        settings->setValue("KeyHighlightConfig/KHCEnable1", true);
        settings->setValue("KeyHighlightConfig/KHCText1", "ERR");
        QCOMPARE(marks(highlighter({}), "x ERR"), QString("..***"));
    }

    void editTakesEffectForNextBlock()
    {
        KeyHighlight& highlight = highlighter({ "0=ERR" });
        QCOMPARE(marks(highlight, "ERR WARN"), QString("aaa....."));

        row(*dialog, 0).keyword->setText("WARN"); // not saved
        QCOMPARE(marks(highlight, "ERR WARN"), QString("....aaaa"));

        setRow(*dialog, 0, true, rowColor(1), "WARN");
        QCOMPARE(marks(highlight, "ERR WARN"), QString("....bbbb"));

        row(*dialog, 0).enable->setChecked(false);
        QCOMPARE(marks(highlight, "ERR WARN"), QString("........"));
        QVERIFY(settings->allKeys().isEmpty());
    }

    void offMarksNothing()
    {
        KeyHighlight& highlight = highlighter({ "0=ERR" }, false);
        QVERIFY(!highlight.isHighlightEnabled());
        QCOMPARE(QStringList({ marks(highlight, "ERR 1"), marks(highlight, "ERR 2") }),
            QStringList({ ".....", "....." }));
    }

    void uncheckingStopsMarkingNewText()
    {
        KeyHighlight& highlight = highlighter({ "0=ERR" });
        TextBrowser view;
        view.setLineFormatter([&](const QString& line) { return highlight.formats(line); });
        view.appendPlainText("ERR 1");
        view.appendPlainText("ERR 2");
        QCOMPARE(marks(&view, 0), QString("aaa.."));
        highlight.setHighlightEnabled(false);
        view.appendPlainText("ERR 3");
        QCOMPARE(marks(&view, 2), QString("....."));
        QCOMPARE(marks(&view, 0), QString("aaa..")); // shown text keeps its marks
        highlight.setHighlightEnabled(true);
        QCOMPARE(marks(&view, 2), QString(".....")); // and is not highlighted again
        view.appendPlainText("ERR 4");
        QCOMPARE(marks(&view, 3), QString("aaa.."));
    }

    void checkBoxSwitchesHighlighting()
    {
        MainWindow w;
        auto* highlight = w.findChild<KeyHighlight*>();
        auto* ownDialog = w.findChild<KeyHighlightDialog*>();
        QVERIFY(highlight && ownDialog && !w.form()->recvShowText->lineFormats(0).size());
        QVERIFY(!w.form()->keyHighlightCheckBox->isChecked()
            && !w.form()->keyHighlightToolButton->isEnabled() && !highlight->isHighlightEnabled());

        w.form()->keyHighlightCheckBox->setChecked(true);
        QVERIFY(w.form()->keyHighlightToolButton->isEnabled() && highlight->isHighlightEnabled());
        w.form()->keyHighlightToolButton->click();
        QVERIFY(ownDialog->isVisible());
        ownDialog->hide();

        w.form()->keyHighlightCheckBox->setChecked(false);
        QVERIFY(!w.form()->keyHighlightToolButton->isEnabled() && !highlight->isHighlightEnabled());
    }

    void receivedTextIsMarked()
    {
        MainWindow w;
        setRow(*w.findChild<KeyHighlightDialog*>(), 12, true, rowColor(12), "ERR");
        w.form()->keyHighlightCheckBox->setChecked(true);
        openPort(w, NoTime);
        QVERIFY(pty->write("ERR 5\nok ERROR\n"));
        TextBrowser* view = w.form()->recvShowText;
        QTRY_COMPARE(view->toPlainText(), QString("RX←◆ERR 5\nRX←◆ok ERROR"));
        QCOMPARE(marks(view, 0) + '|' + marks(view, 1), QString("....mmm..|............"));
    }

    void marksGoOnAfterAFullViewIsSaved()
    {
        MainWindow w;
        w.form()->maxRowsSpinBox->setValue(20000);
        setRow(*w.findChild<KeyHighlightDialog*>(), 3, true, rowColor(3), "ERR");
        w.form()->keyHighlightCheckBox->setChecked(true);
        openPort(w, NoTime | AutoSave);
        // A view big enough to go to the record writer whole, then lines for the new view.
        QByteArray bytes;
        for (int i = 0; i < 20000; ++i)
            bytes += "line " + QByteArray::number(i).rightJustified(6, '0')
                + " ERR padding padding\n";
        bytes += "ERR 1\nok\n";
        QVERIFY(pty->write(bytes));
        QTRY_COMPARE_WITH_TIMEOUT(w.displayedLines(), qint64(20002), 30000);
        QTRY_COMPARE(w.recordsInHand(), 0);
        TextBrowser* view = w.form()->recvShowText;
        QTRY_COMPARE(view->toPlainText(), QString("RX←◆ERR 1\nRX←◆ok"));
        QCOMPARE(marks(view, 0) + '|' + marks(view, 1), QString("....ddd..|......"));
        QCOMPARE(w.findChildren<KeyHighlight*>().size(), 1);
        // Switching it off still reaches the one that marks the view.
        w.form()->keyHighlightCheckBox->setChecked(false);
        QVERIFY(pty->write("ERR 2\n"));
        QTRY_COMPARE(view->lineCount(), qint64(3));
        QCOMPARE(marks(view, 2), QString("........."));
    }

private:
    struct Row {
        QCheckBox* enable;
        QToolButton* color;
        QLineEdit* keyword;
    };

    static Row row(KeyHighlightDialog& d, int index)
    {
        auto* list = d.findChild<QListWidget*>(QStringLiteral("listWidget"));
        QWidget* frame = list->itemWidget(list->item(index));
        QLayout* layout = frame->layout();
        return { qobject_cast<QCheckBox*>(layout->itemAt(0)->widget()),
            qobject_cast<QToolButton*>(layout->itemAt(1)->widget()),
            qobject_cast<QLineEdit*>(layout->itemAt(2)->widget()) };
    }

    // The colour goes in the way a user puts it: through the picker behind the row's button.
    static void setRow(
        KeyHighlightDialog& d, int index, bool on, const QColor& color, const QString& keyword)
    {
        const Row r = row(d, index);
        KeyHighlightDialog::setColorChooser(
            [color](const QColor&, QWidget*, const QString&) { return color; });
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^color: ")));
        r.color->click();
        KeyHighlightDialog::setColorChooser({});
        r.enable->setChecked(on);
        r.keyword->setText(keyword);
    }
    // Whether the row is checked, and its keyword.
    static QString state(const Row& r)
    {
        return QString("%1 \"%2\"").arg(r.enable->isChecked() ? "on" : "off", r.keyword->text());
    }
    static QColor colorOf(const Row& r) { return r.color->palette().button().color(); }
    static inline const QColor kGreen { 0, 255, 0 }; // a row's colour until one is chosen
    static QColor rowColor(int index) { return QColor::fromHsv(index * 22, 255, 230); }
    // Per character: '.' unmarked, 'a' + row in that row's colour, '*' bold only, '?' other.
    static QString marks(const QString& text, const QVector<QTextLayout::FormatRange>& formats)
    {
        QString out(text.size(), QLatin1Char('.'));
        for (const QTextLayout::FormatRange& r : formats) {
            QChar c = QLatin1Char('?');
            const bool bold = r.format.fontWeight() == QFont::Bold;
            if (bold && !r.format.hasProperty(QTextFormat::BackgroundBrush)) {
                c = QLatin1Char('*');
            } else if (bold && r.format.background().style() == Qt::SolidPattern) {
                for (int i = 0; i < KeyHighlightDialog::kRows; ++i)
                    if (r.format.background().color() == rowColor(i))
                        c = QChar('a' + i);
            }
            out.replace(r.start, r.length, QString(r.length, c));
        }
        return out;
    }
    // A new dialog with the rows given, each in its row's colour; a highlighter on it, on if asked.
    KeyHighlight& highlighter(const QStringList& rows, bool on = true)
    {
        dialog = new KeyHighlightDialog(settings.get(), parent.get());
        for (QString entry : rows) {
            const bool checked = !entry.startsWith('!');
            if (!checked)
                entry.remove(0, 1);
            const int index = entry.section('=', 0, 0).toInt();
            setRow(*dialog, index, checked, rowColor(index), entry.section('=', 1));
        }
        auto* highlight = new KeyHighlight(dialog);
        if (on)
            highlight->setHighlightEnabled(true);
        return *highlight;
    }
    static QString marks(KeyHighlight& highlight, const QString& text)
    {
        return marks(text, highlight.formats(text));
    }
    static QString marks(TextBrowser* view, qint64 line)
    {
        return marks(view->store().line(line), view->lineFormats(line));
    }

    std::unique_ptr<QSettings> settings;
    std::unique_ptr<QWidget> parent; // of the dialogs, as the main window is
    KeyHighlightDialog* dialog = nullptr; // on settings, a child of parent; the highlighter's
};

QTEST_MAIN(tst_KeyHighlight)
#include "tst_keyhighlight.moc"

#include "shell/AppPaths.h"
#include "shell/MainModel.h"
#include "app/MainWindow.h"
#include "shell/SettingsStore.h"
#include "edit/ColumnDefController.h"
#include "edit/ColumnDefDialog.h"
#include "edit/ColumnDefModel.h"
#include "testsupport/TestPlatform.h"
#include "testsupport/WidgetTestMain.h"
#include "ui/SheetView.h"
#include "ui/Twips.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTableView>
#include <QTemporaryDir>

#include <memory>

using namespace quillon;

namespace {

using Def = ColumnDefModel;

int px(int twips)
{
    return Twips::toPixels(twips);
}

QPushButton* button(QWidget* dialog, const char* name)
{
    auto* b = dialog->findChild<QPushButton*>(QLatin1String(name));
    if (!b)
        qWarning("no button %s", name);
    return b;
}

QString cell(ColumnDefDialog* d, int row, int column)
{
    return d->grid()->model()->index(row, column).data().toString();
}

QModelIndex at(ColumnDefDialog* d, int row, int column)
{
    return d->grid()->model()->index(row, column);
}

void click(ColumnDefDialog* d, int row, int column)
{
    QTest::mouseClick(d->grid()->viewport(), Qt::LeftButton, {},
                      d->grid()->visualRect(at(d, row, column)).center());
}

/** Double-clicks a cell of `fd` and hands back the editor that opened, or nullptr. */
QWidget* startEdit(ColumnDefDialog* d, int row, int column)
{
    QTableView* grid = d->grid();
    grid->scrollTo(at(d, row, column));
    // What a mouse sends: press, release, double click, release.
    const QPoint point = grid->visualRect(at(d, row, column)).center();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, point);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, point);
    QTest::mouseRelease(grid->viewport(), Qt::LeftButton, {}, point);
    return grid->indexWidget(at(d, row, column));
}

/** Types @p text over the editor's text, as the user would. */
void typeInto(QWidget* editor, const QString& text)
{
    QLineEdit* line = qobject_cast<QLineEdit*>(editor);
    if (auto* combo = qobject_cast<QComboBox*>(editor))
        line = combo->lineEdit();
    QVERIFY(line);
    line->selectAll();
    QTest::keyClicks(line, text);
}

/** Picks @p text from the editor's drop-down list. */
void choose(QWidget* editor, const QString& text)
{
    auto* combo = qobject_cast<QComboBox*>(editor);
    QVERIFY(combo);
    const int i = combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    QVERIFY2(i >= 0, qPrintable(text));
    combo->setCurrentIndex(i);
}

/** Enter ends the edit; the dialog stays open. */
void pressEnter(ColumnDefDialog* d, QWidget* editor)
{
    // Keys go where the user's keys would go: to the widget with the focus.
    QWidget* focus = QApplication::focusWidget();
    QVERIFY(focus && (focus == editor || editor->isAncestorOf(focus)));
    QTest::keyClick(focus, Qt::Key_Return);
    QTRY_VERIFY(!d->grid()->indexWidget(d->grid()->currentIndex()));
    QVERIFY(d->isVisible());
}

void edit(ColumnDefDialog* d, int row, int column, const QString& text)
{
    QWidget* editor = startEdit(d, row, column);
    QVERIFY(editor);
    typeInto(editor, text);
    pressEnter(d, editor);
}

void pick(ColumnDefDialog* d, int row, int column, const QString& text)
{
    QWidget* editor = startEdit(d, row, column);
    QVERIFY(editor);
    choose(editor, text);
    pressEnter(d, editor);
}

} // namespace

class TestColumnDefDialog : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SettingsStore> m_settings;
    TestPlatform m_platform;
    std::unique_ptr<MainWindow> m_window;

    MainWindow& window() { return *m_window; }
    RecordSheet& sheet() { return m_window->model().sheet(); }

    /** Opens the dialog by triggering the command @p name, as the menu or key does. */
    ColumnDefDialog* openFrom(const char* name)
    {
        QAction* action = m_window->action(QLatin1String(name));
        if (!action)
            return nullptr;
        // Some entries show only while the sheet has the focus.
        m_window->model().commands().setVisible(QLatin1String(name), true);
        action->trigger();
        auto* controller = m_window->findChild<ColumnDefController*>();
        ColumnDefDialog* d = controller ? controller->openDialog() : nullptr;
        if (d && !QTest::qWaitForWindowExposed(d))
            return nullptr;
        if (d) {
            d->activateWindow();
            if (!QTest::qWaitForWindowActive(d))
                return nullptr;
        }
        return d;
    }

    /** Column c of the sheet holds "c<c>" in every record. */
    void fillSheet()
    {
        for (int r = 1; r < sheet().rows(); ++r)
            for (int c = 0; c < sheet().cols(); ++c)
                sheet().setText(r, c, QStringLiteral("c%1").arg(c));
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        AppPaths::setUserDataFolder(m_dir->filePath(QStringLiteral("user")));
        m_settings = std::make_unique<SettingsStore>(m_dir->filePath(QStringLiteral("quillon.ini")));
        m_window = std::make_unique<MainWindow>(*m_settings, m_platform);
        m_window->setEndAction([] {});
        m_window->show();
        fillSheet();
    }
    void cleanup()
    {
        m_window.reset();
        m_settings.reset();
        m_dir.reset();
    }

    // ---- opening -------------------------------------------------------------------------------

    void opensFromTheCommands_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("oneColumn");
        QTest::newRow("Edit menu, Column Attributes") << "mnuEditColAttr" << true;
        QTest::newRow("popup menu, Column Attributes") << "mnuPUColAttr" << true;
        QTest::newRow("Tools menu, Column Define") << "mnuColDef" << false;
    }
    void opensFromTheCommands()
    {
        QFETCH(QString, command);
        QFETCH(bool, oneColumn);
        sheet().setColumnDataType(3, TypeMoney);
        sheet().setColumnFormat(3, QStringLiteral("$#,###.00"));
        sheet().setColumnAlignment(3, AlignRight);
        sheet().setColumnHidden(3, true);
        sheet().setCurrentCell(2, 3);

        ColumnDefDialog* d = openFrom(command.toLatin1().constData());
        QVERIFY(d);
        QCOMPARE(d->objectName(), QStringLiteral("frmColDef"));
        QCOMPARE(d->windowTitle(), QStringLiteral("Column Define"));
        QVERIFY(d->isModal());
        QCOMPARE(d->grid()->model()->rowCount(), oneColumn ? 1 : 10);
        const int row = oneColumn ? 0 : 3;
        QCOMPARE(cell(d, row, Def::NumberColumn), QStringLiteral("4"));
        QCOMPARE(cell(d, row, Def::TitleColumn), QStringLiteral("State"));
        QCOMPARE(cell(d, row, Def::TypeColumn), QStringLiteral("Money"));
        QCOMPARE(cell(d, row, Def::FormatColumn), QStringLiteral("$#,###.00"));
        QCOMPARE(cell(d, row, Def::AlignmentColumn), QStringLiteral("Right"));
        QCOMPARE(at(d, row, Def::HideColumn).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
        QCOMPARE(d->grid()->height(), px(oneColumn ? 810 : 2715));
        QCOMPARE(button(d, "cmdBtn0")->y(), px(oneColumn ? 1080 : 2985));
        QVERIFY(!button(d, "cmdBtn0")->isEnabled());
        QCOMPARE(button(d, "cmdBtn2")->isEnabled(), oneColumn);
        QCOMPARE(d->findChild<QLabel*>(QStringLiteral("lblHint1"))->isVisible(), !oneColumn);

        // One dialog at a time: the command again brings the same one forward.
        QCOMPARE(openFrom(command.toLatin1().constData()), d);
        QCOMPARE(window().findChildren<ColumnDefDialog*>().size(), 1);
    }

    void controlsAndCaptions()
    {
        ColumnDefDialog* d = openFrom("mnuColDef");
        QVERIFY(d);
        QTableView* fd = d->grid();
        QCOMPARE(fd->objectName(), QStringLiteral("fd"));
        const QStringList headers = {QStringLiteral("Col"),
                                     QStringLiteral("Title"),
                                     QStringLiteral("Data Type"),
                                     QStringLiteral("Data Format"),
                                     QStringLiteral("Alignment"),
                                     QStringLiteral("Hide"),
                                     QStringLiteral("Combo List (Use '|' to separate items)")};
        const int widths[] = {500, 1500, 1000, 2000, 1000, 300};
        for (int c = 0; c < 7; ++c) {
            QCOMPARE(fd->model()->headerData(c, Qt::Horizontal).toString(), headers[c]);
            if (c < 6) {
                QCOMPARE(fd->columnWidth(c), px(widths[c]));
                QVERIFY(!fd->isColumnHidden(c));
            }
        }
        QVERIFY(fd->isColumnHidden(Def::ComboColumn));
        QVERIFY(!fd->verticalHeader()->isVisible());
        QVERIFY(fd->model()->flags(at(d, 0, Def::HideColumn)) & Qt::ItemIsUserCheckable);
        QVERIFY(!(fd->model()->flags(at(d, 0, Def::NumberColumn)) & Qt::ItemIsEditable));

        // The header row: white text on green.
        const QImage header = fd->horizontalHeader()->grab().toImage();
        const int left = fd->horizontalHeader()->sectionViewportPosition(Def::TitleColumn);
        QCOMPARE(QColor(header.pixel(left + 4, header.height() / 2)), QColor(0x00, 0x80, 0x00));
        bool white = false;
        for (int x = left; x < left + fd->columnWidth(Def::TitleColumn) && !white; ++x)
            for (int y = 0; y < header.height() && !white; ++y)
                white = QColor(header.pixel(x, y)) == QColor(Qt::white);
        QVERIFY(white);

        const std::pair<const char*, const char*> buttons[] = {{"cmdBtn0", "&OK"},
                                                               {"cmdBtn1", "&Cancel"},
                                                               {"cmdBtn2", "&All Cols"},
                                                               {"cmdCol1", "Insert"},
                                                               {"cmdCol2", "Delete"}};
        for (const auto& [name, text] : buttons) {
            QPushButton* b = button(d, name);
            QVERIFY2(b, name);
            QCOMPARE(b->text(), QLatin1String(text));
            QVERIFY2(b->isVisible(), name);
        }
        QVERIFY(button(d, "cmdCol0")->isVisible());
        QCOMPARE(d->findChild<QLabel*>(QStringLiteral("lblHint1"))->text(),
                 QStringLiteral("1. Column 7 to 10 are user defined columns."));
        QCOMPARE(d->findChild<QLabel*>(QStringLiteral("lblHint2"))->text(),
                 QStringLiteral("2. Double click cell to edit or click to select."));
        QCOMPARE(d->findChild<QLabel*>(QStringLiteral("lblHint3"))->text(),
                 QStringLiteral("3. Press Enter key after edit."));

        // While a cell is edited, the hint tells how to end the edit.
        QVERIFY(d->findChild<QLabel*>(QStringLiteral("lblHint2"))->isVisible());
        QVERIFY(!d->findChild<QLabel*>(QStringLiteral("lblHint3"))->isVisible());
        QWidget* editor = startEdit(d, 0, Def::TitleColumn);
        QVERIFY(editor);
        QVERIFY(!d->findChild<QLabel*>(QStringLiteral("lblHint2"))->isVisible());
        QVERIFY(d->findChild<QLabel*>(QStringLiteral("lblHint3"))->isVisible());
        pressEnter(d, editor);
        QVERIFY(d->findChild<QLabel*>(QStringLiteral("lblHint2"))->isVisible());
    }

    void okFollowsClicksAndColumnButtons_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("a click on a cell") << "click";
        QTest::newRow("append") << "cmdCol0";
        QTest::newRow("insert") << "cmdCol1";
        QTest::newRow("delete") << "cmdCol2";
    }
    void okFollowsClicksAndColumnButtons()
    {
        QFETCH(QString, how);
        ColumnDefDialog* d = openFrom("mnuEditColAttr");
        QVERIFY(d);
        QPushButton* ok = button(d, "cmdBtn0");
        QVERIFY(!ok->isEnabled());
        if (how == QLatin1String("click"))
            click(d, 0, Def::NumberColumn);
        else
            QTest::mouseClick(button(d, how.toLatin1().constData()), Qt::LeftButton);
        QVERIFY(ok->isEnabled());
        // The column buttons shape the whole sheet: the dialog goes on with every column.
        if (how != QLatin1String("click")) {
            QVERIFY(!d->definitions().isOneColumn());
            QCOMPARE(d->height(), px(3975));
        }
    }

    // ---- the editors ---------------------------------------------------------------------------

    void dropDownListsByColumn_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("type");
        QTest::addColumn<QStringList>("list"); // empty: a line edit
        QTest::newRow("Data Type")
            << int(Def::TypeColumn) << int(TypeText)
            << QStringLiteral("Checkbox|Date|Money|Number|Text").split(QLatin1Char('|'));
        QTest::newRow("Alignment") << int(Def::AlignmentColumn) << int(TypeText)
                                   << QStringLiteral("Left|Center|Right").split(QLatin1Char('|'));
        QTest::newRow("Money formats") << int(Def::FormatColumn) << int(TypeMoney)
                                       << QStringLiteral("$#,###|$#,###.00").split(QLatin1Char('|'));
        QTest::newRow("Number formats")
            << int(Def::FormatColumn) << int(TypeNumber)
            << QStringLiteral("0|0.0|0.00|0.000|0.0000|%|#.00%|#,###|#,###.00").split(QLatin1Char('|'));
        QTest::newRow("Date formats") << int(Def::FormatColumn) << int(TypeDate)
                                      << QStringLiteral("mm/dd/yy|mm/dd/yyyy|m/d/yy|m/d/yyyy|dd-Mmm-yyyy|"
                                                        "Mmm-dd-yyyy|mm/dd/yy hh:mm|mm/dd/yy hh:mm:ss|"
                                                        "mm/dd/yy hh:mm AMPM|mm/dd/yy hh:mm:ss AMPM")
                                             .split(QLatin1Char('|'));
        QTest::newRow("Text format is free") << int(Def::FormatColumn) << int(TypeText) << QStringList();
        QTest::newRow("Checkbox format is free")
            << int(Def::FormatColumn) << int(TypeCheckbox) << QStringList();
        QTest::newRow("Title") << int(Def::TitleColumn) << int(TypeNumber) << QStringList();
    }
    void dropDownListsByColumn()
    {
        QFETCH(int, column);
        QFETCH(int, type);
        QFETCH(QStringList, list);
        sheet().setColumnDataType(4, type);
        sheet().setCurrentCell(1, 4);
        ColumnDefDialog* d = openFrom("mnuEditColAttr");
        QVERIFY(d);
        QWidget* editor = startEdit(d, 0, column);
        QVERIFY(editor);
        auto* combo = qobject_cast<QComboBox*>(editor);
        if (list.isEmpty()) {
            QVERIFY(!combo);
            QVERIFY(qobject_cast<QLineEdit*>(editor));
        } else {
            QVERIFY(combo);
            QVERIFY(combo->isEditable());
            QStringList items;
            for (int i = 0; i < combo->count(); ++i)
                items.append(combo->itemText(i));
            QCOMPARE(items, list);
            QCOMPARE(combo->currentText(), cell(d, 0, column));
        }
    }

    void hideIsACheckBox()
    {
        sheet().setCurrentCell(1, 2);
        ColumnDefDialog* d = openFrom("mnuEditColAttr");
        QVERIFY(d);
        QTableView* fd = d->grid();
        fd->edit(at(d, 0, Def::HideColumn));
        QVERIFY(!fd->indexWidget(at(d, 0, Def::HideColumn))); // no text editor
        // A click on the box ticks it.
        const QRect r = fd->visualRect(at(d, 0, Def::HideColumn));
        QStyleOptionViewItem option;
        option.initFrom(fd);
        option.rect = r;
        option.features |= QStyleOptionViewItem::HasCheckIndicator;
        const QRect box = fd->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, fd);
        QTest::mouseClick(fd->viewport(), Qt::LeftButton, {}, box.center());
        QCOMPARE(at(d, 0, Def::HideColumn).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
        QTest::mouseClick(button(d, "cmdBtn0"), Qt::LeftButton);
        QVERIFY(sheet().column(2).hidden);
        QVERIFY(window().sheetView()->isColumnHidden(2));
    }

    void typeChangeRules_data()
    {
        QTest::addColumn<QString>("typed");  // typed over the cell
        QTest::addColumn<QString>("chosen"); // or chosen from the list
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("alignment");
        QTest::addColumn<int>("sheetType");
        QTest::addColumn<int>("sheetAlignment");
        QTest::newRow("Number to Date clears the format, left") << ""
                                                                << "Date"
                                                                << ""
                                                                << "Left" << int(TypeDate) << int(AlignLeft);
        QTest::newRow("Number to Money keeps the format, right")
            << ""
            << "Money"
            << "0.00"
            << "Right" << int(TypeMoney) << int(AlignRight);
        QTest::newRow("Number to Checkbox, centred") << ""
                                                     << "Checkbox"
                                                     << ""
                                                     << "Center" << int(TypeCheckbox) << int(AlignCenter);
        QTest::newRow("Number to Text") << ""
                                        << "Text"
                                        << ""
                                        << "Left" << int(TypeText) << int(AlignLeft);
        QTest::newRow("typed Money") << "Money"
                                     << ""
                                     << "0.00"
                                     << "Right" << int(TypeMoney) << int(AlignRight);
        QTest::newRow("typed number is Text") << "number"
                                              << ""
                                              << ""
                                              << "Left" << int(TypeText) << int(AlignLeft);
        QTest::newRow("typed Numbers is Text") << "Numbers"
                                               << ""
                                               << ""
                                               << "Left" << int(TypeText) << int(AlignLeft);
    }
    void typeChangeRules()
    {
        QFETCH(QString, typed);
        QFETCH(QString, chosen);
        QFETCH(QString, format);
        QFETCH(QString, alignment);
        QFETCH(int, sheetType);
        QFETCH(int, sheetAlignment);
        sheet().setColumnDataType(5, TypeNumber);
        sheet().setColumnFormat(5, QStringLiteral("0.00"));
        sheet().setColumnAlignment(5, AlignCenter);
        ColumnDefDialog* d = openFrom("mnuColDef");
        QVERIFY(d);
        if (chosen.isEmpty())
            edit(d, 5, Def::TypeColumn, typed);
        else
            pick(d, 5, Def::TypeColumn, chosen);
        QCOMPARE(cell(d, 5, Def::TypeColumn), chosen.isEmpty() ? typed : chosen);
        QCOMPARE(cell(d, 5, Def::FormatColumn), format);
        QCOMPARE(cell(d, 5, Def::AlignmentColumn), alignment);
        QVERIFY(button(d, "cmdBtn0")->isEnabled());
        QCOMPARE(sheet().column(5).dataType, int(TypeNumber)); // nothing written yet

        QTest::mouseClick(button(d, "cmdBtn0"), Qt::LeftButton);
        QTRY_VERIFY(!window().findChild<ColumnDefDialog*>());
        QCOMPARE(int(sheet().column(5).dataType), sheetType);
        QCOMPARE(sheet().column(5).format, format);
        QCOMPARE(int(sheet().column(5).alignment), sheetAlignment);
    }

    void formatAndAlignmentAreChosenOrTyped()
    {
        sheet().setColumnDataType(4, TypeNumber);
        sheet().setCurrentCell(3, 4);
        ColumnDefDialog* d = openFrom("mnuEditColAttr");
        QVERIFY(d);
        pick(d, 0, Def::FormatColumn, QStringLiteral("#,###.00"));
        pick(d, 0, Def::AlignmentColumn, QStringLiteral("Center"));
        edit(d, 0, Def::TitleColumn, QStringLiteral("Amount"));
        sheet().setText(3, 4, QStringLiteral("1234.5"));
        QTest::mouseClick(button(d, "cmdBtn0"), Qt::LeftButton);
        QCOMPARE(sheet().title(4), QStringLiteral("Amount"));
        QCOMPARE(sheet().column(4).format, QStringLiteral("#,###.00"));
        QCOMPARE(sheet().column(4).alignment, int(AlignCenter));
        QCOMPARE(window().sheetView()->model()->headerData(4, Qt::Horizontal).toString(),
                 QStringLiteral("Amount"));
        // The form panel shows the new title and the value in the new format.
        QAbstractItemModel* form = window().formView()->model();
        QCOMPARE(form->index(4, 0).data().toString(), QStringLiteral("Amount"));
        QCOMPARE(form->index(4, 1).data().toString(), QStringLiteral("1,234.50"));

        // A format typed by hand for a Text column, in a new dialog at once.
        sheet().setCurrentCell(3, 1);
        ColumnDefDialog* closed = d;
        d = openFrom("mnuEditColAttr");
        QVERIFY(d);
        QVERIFY(d != closed);
        QCOMPARE(d->grid()->model()->rowCount(), 1);
        edit(d, 0, Def::FormatColumn, QStringLiteral(">"));
        QTest::mouseClick(button(d, "cmdBtn0"), Qt::LeftButton);
        QCOMPARE(sheet().column(1).format, QStringLiteral(">"));
    }

    void escapeDropsTheEditOnly()
    {
        ColumnDefDialog* d = openFrom("mnuColDef");
        QVERIFY(d);
        QWidget* editor = startEdit(d, 1, Def::TitleColumn);
        QVERIFY(editor);
        typeInto(editor, QStringLiteral("Road"));
        QTest::keyClick(editor, Qt::Key_Escape);
        QTRY_VERIFY(!d->grid()->indexWidget(at(d, 1, Def::TitleColumn)));
        QVERIFY(d->isVisible());
        QCOMPARE(cell(d, 1, Def::TitleColumn), QStringLiteral("Street"));
    }

    void okTakesAnEditStillOpen()
    {
        ColumnDefDialog* d = openFrom("mnuColDef");
        QVERIFY(d);
        QWidget* editor = startEdit(d, 1, Def::TitleColumn);
        QVERIFY(editor);
        typeInto(editor, QStringLiteral("Road"));
        d->ok(); // "&OK" by its key, the editor still open
        QCOMPARE(sheet().title(1), QStringLiteral("Road"));
    }

    // ---- the column buttons, "&All Cols", OK and Cancel -------------------------------------

    void deletingTheLastRowRemovesTheLastColumn()
    {
        sheet().setTitle(9, QStringLiteral("Mine"));
        ColumnDefDialog* d = openFrom("mnuColDef");
        QVERIFY(d);
        click(d, 9, Def::TitleColumn);
        QTest::mouseClick(button(d, "cmdCol2"), Qt::LeftButton);
        QCOMPARE(d->grid()->model()->rowCount(), 9);
        QTest::mouseClick(button(d, "cmdBtn0"), Qt::LeftButton);
        QCOMPARE(sheet().cols(), 9);
        QCOMPARE(sheet().title(8), QString());
        for (int r = 1; r < sheet().rows(); ++r)
            QCOMPARE(sheet().text(r, 8), QStringLiteral("c8"));
        QCOMPARE(window().sheetView()->model()->columnCount(), 9);
        QCOMPARE(window().formView()->model()->rowCount(), 9);
    }

    void insertAndAppendAddColumns()
    {
        ColumnDefDialog* d = openFrom("mnuColDef");
        QVERIFY(d);
        click(d, 2, Def::TitleColumn);
        QTest::mouseClick(button(d, "cmdCol1"), Qt::LeftButton);
        QCOMPARE(d->grid()->model()->rowCount(), 11);
        QCOMPARE(cell(d, 2, Def::NumberColumn), QStringLiteral("3"));
        QCOMPARE(cell(d, 2, Def::TitleColumn), QString());
        QCOMPARE(cell(d, 2, Def::TypeColumn), QStringLiteral("Text"));
        QCOMPARE(cell(d, 2, Def::AlignmentColumn), QStringLiteral("Left"));
        QCOMPARE(cell(d, 3, Def::NumberColumn), QStringLiteral("4"));
        QCOMPARE(cell(d, 3, Def::TitleColumn), QStringLiteral("City"));
        edit(d, 2, Def::TitleColumn, QStringLiteral("Area"));
        QTest::mouseClick(button(d, "cmdCol0"), Qt::LeftButton);
        QCOMPARE(d->grid()->model()->rowCount(), 12);
        QCOMPARE(cell(d, 11, Def::NumberColumn), QStringLiteral("12"));
        QTest::mouseClick(button(d, "cmdBtn0"), Qt::LeftButton);

        QCOMPARE(sheet().cols(), 12);
        QCOMPARE(sheet().title(2), QStringLiteral("Area"));
        QCOMPARE(sheet().title(3), QStringLiteral("City"));
        QCOMPARE(sheet().text(1, 2), QString());
        QCOMPARE(sheet().text(1, 3), QStringLiteral("c2"));
        QCOMPARE(sheet().text(1, 11), QString());
        QCOMPARE(window().formView()->model()->rowCount(), 12);
    }

    void allColsThenTheThirdRow()
    {
        sheet().setCurrentCell(4, 6);
        ColumnDefDialog* d = openFrom("mnuEditColAttr");
        QVERIFY(d);
        QCOMPARE(d->grid()->model()->rowCount(), 1);
        const int smallHeight = d->height();
        QTest::mouseClick(button(d, "cmdBtn2"), Qt::LeftButton);
        QCOMPARE(d->grid()->model()->rowCount(), 10);
        QCOMPARE(d->height(), px(3975));
        QVERIFY(d->height() > smallHeight);
        QCOMPARE(d->grid()->height(), px(2715));
        QCOMPARE(button(d, "cmdBtn0")->y(), px(2985));
        QCOMPARE(button(d, "cmdBtn1")->y(), px(2985));
        QVERIFY(!button(d, "cmdBtn2")->isEnabled());
        QCOMPARE(d->grid()->currentIndex().row(), 6); // still on the column it was opened for

        edit(d, 2, Def::TitleColumn, QStringLiteral("Town"));
        pick(d, 2, Def::AlignmentColumn, QStringLiteral("Right"));
        QTest::mouseClick(button(d, "cmdBtn0"), Qt::LeftButton);
        QCOMPARE(sheet().title(2), QStringLiteral("Town"));
        QCOMPARE(sheet().column(2).alignment, int(AlignRight));
        QCOMPARE(sheet().title(6), QStringLiteral("Web Site"));
        QCOMPARE(sheet().cols(), 10);
    }

    void okOnAnUntitledDocumentEnablesSave()
    {
        QAction* save = window().action(QStringLiteral("mnuSave"));
        QVERIFY(!save->isEnabled());
        ColumnDefDialog* d = openFrom("mnuColDef");
        QVERIFY(d);
        click(d, 0, Def::TitleColumn);
        QTest::mouseClick(button(d, "cmdBtn0"), Qt::LeftButton);
        QTRY_VERIFY(!window().findChild<ColumnDefDialog*>());
        QVERIFY(save->isEnabled());
        QVERIFY(window().action(QStringLiteral("tb0.Save"))->isEnabled());
        QVERIFY(window().model().document().IsModified());
    }

    void cancelLeavesTheSheet_data()
    {
        QTest::addColumn<bool>("byKey");
        QTest::newRow("the Cancel button") << false;
        QTest::newRow("the Escape key") << true;
    }
    void cancelLeavesTheSheet()
    {
        QFETCH(bool, byKey);
        sheet().setColumnDataType(5, TypeNumber);
        ColumnDefDialog* d = openFrom("mnuColDef");
        QVERIFY(d);
        edit(d, 0, Def::TitleColumn, QStringLiteral("Who"));
        pick(d, 5, Def::TypeColumn, QStringLiteral("Date"));
        click(d, 9, Def::TitleColumn);
        QTest::mouseClick(button(d, "cmdCol2"), Qt::LeftButton);
        QTest::mouseClick(button(d, "cmdCol0"), Qt::LeftButton);
        if (byKey)
            QTest::keyClick(d->grid(), Qt::Key_Escape);
        else
            QTest::mouseClick(button(d, "cmdBtn1"), Qt::LeftButton);
        QTRY_VERIFY(!window().findChild<ColumnDefDialog*>());

        QCOMPARE(sheet().cols(), 10);
        QCOMPARE(sheet().title(0), QStringLiteral("Name"));
        QCOMPARE(sheet().column(5).dataType, int(TypeNumber));
        QCOMPARE(sheet().text(1, 9), QStringLiteral("c9"));
        QVERIFY(!window().action(QStringLiteral("mnuSave"))->isEnabled());
        QVERIFY(!window().model().document().IsModified());
    }
};

QUILLON_WIDGET_TEST_MAIN(TestColumnDefDialog)
#include "TestColumnDefDialog.moc"

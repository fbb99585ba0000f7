#include "shell/MainModel.h"
#include "shell/SettingsStore.h"
#include "edit/ColumnDefModel.h"
#include "testsupport/TestPlatform.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace quillon;

namespace {

using Def = ColumnDefModel;

struct Fixture
{
    QTemporaryDir dir;
    std::unique_ptr<SettingsStore> settings;
    TestPlatform platform;
    std::unique_ptr<MainModel> model;
    std::unique_ptr<ColumnDefModel> fd;
    std::unique_ptr<QAbstractItemModelTester> tester;

    Fixture()
    {
        settings = std::make_unique<SettingsStore>(dir.filePath(QStringLiteral("test.ini")));
        model = std::make_unique<MainModel>(*settings, platform, QStringLiteral("/data/Untitled1.vty"));
        model->document().buildNewSheet();
        model->ResyncFormPanel();
        fd = std::make_unique<ColumnDefModel>(*model);
        tester = std::make_unique<QAbstractItemModelTester>(fd.get(),
                                                            QAbstractItemModelTester::FailureReportingMode::QtTest);
        // Column c holds "c<c>" in every record.
        RecordSheet& s = sheet();
        for (int r = 1; r < s.rows(); ++r)
            for (int c = 0; c < s.cols(); ++c)
                s.setText(r, c, QStringLiteral("c%1").arg(c));
    }

    RecordSheet& sheet() { return model->sheet(); }
    QString cell(int row, int column) { return fd->data(fd->index(row, column)).toString(); }
    void edit(int row, int column, const QString& text) { QVERIFY(fd->setData(fd->index(row, column), text)); }
};

} // namespace

class TestColumnDefModel : public QObject
{
    Q_OBJECT

private slots:
    void opensForOneOrAllColumns()
    {
        Fixture f;
        f.sheet().setColumnDataType(3, TypeMoney);
        f.sheet().setColumnFormat(3, QStringLiteral("$#,###.00"));
        f.sheet().setColumnAlignment(3, AlignRight);
        f.sheet().setColumnHidden(3, true);
        f.model->document().ColumnComboLists().clear(); // grown again on opening
        f.sheet().setCurrentCell(2, 3);

        f.fd->open(true);
        QVERIFY(f.fd->isOneColumn());
        QCOMPARE(f.fd->rowCount(), 1);
        QCOMPARE(f.cell(0, Def::NumberColumn), QStringLiteral("4"));
        QCOMPARE(f.cell(0, Def::TitleColumn), QStringLiteral("State"));
        QCOMPARE(f.cell(0, Def::TypeColumn), QStringLiteral("Money"));
        QCOMPARE(f.cell(0, Def::FormatColumn), QStringLiteral("$#,###.00"));
        QCOMPARE(f.cell(0, Def::AlignmentColumn), QStringLiteral("Right"));
        QCOMPARE(f.fd->data(f.fd->index(0, Def::HideColumn), Qt::CheckStateRole).toInt(), int(Qt::Checked));
        QCOMPARE(f.model->document().ColumnComboLists().size(), 10);
        QVERIFY(!f.fd->isOkEnabled());

        f.fd->open(false);
        QCOMPARE(f.fd->rowCount(), 10);
        QCOMPARE(f.cell(9, Def::NumberColumn), QStringLiteral("10"));
        QCOMPARE(f.cell(0, Def::TitleColumn), QStringLiteral("Name"));
        QCOMPARE(f.cell(8, Def::TypeColumn), QStringLiteral("Text"));
        QCOMPARE(Def::headerText(Def::ComboColumn), QStringLiteral("Combo List (Use '|' to separate items)"));
    }

    void dropDownListsByColumn_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("list");
        QTest::newRow("data type") << "Text" << int(Def::TypeColumn) << "Checkbox|Date|Money|Number|Text";
        QTest::newRow("alignment") << "Text" << int(Def::AlignmentColumn) << "Left|Center|Right";
        QTest::newRow("number formats") << "Number" << int(Def::FormatColumn)
                                        << "0|0.0|0.00|0.000|0.0000|%|#.00%|#,###|#,###.00";
        QTest::newRow("money formats") << "Money" << int(Def::FormatColumn) << "$#,###|$#,###.00";
        QTest::newRow("date formats")
            << "Date" << int(Def::FormatColumn)
            << "mm/dd/yy|mm/dd/yyyy|m/d/yy|m/d/yyyy|dd-Mmm-yyyy|Mmm-dd-yyyy|mm/dd/yy hh:mm|mm/dd/yy hh:mm:ss|"
               "mm/dd/yy hh:mm AMPM|mm/dd/yy hh:mm:ss AMPM";
        QTest::newRow("text: free format") << "Text" << int(Def::FormatColumn) << "";
        QTest::newRow("checkbox: free format") << "Checkbox" << int(Def::FormatColumn) << "";
        QTest::newRow("title: free text") << "Number" << int(Def::TitleColumn) << "";
        QTest::newRow("hide: a check box") << "Number" << int(Def::HideColumn) << "";
    }

    void dropDownListsByColumn()
    {
        QFETCH(QString, type);
        QFETCH(int, column);
        QFETCH(QString, list);
        Fixture f;
        f.fd->open(false);
        f.edit(2, Def::TypeColumn, type);
        QCOMPARE(f.fd->dropDownList(2, column).join(QLatin1Char('|')), list);
    }

    void typeChangeRules_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("alignment");
        QTest::newRow("Number to Date clears the format, left-aligns") << "Number" << "Date" << "" << "Left";
        QTest::newRow("Number to Money keeps the format, right-aligns") << "Number" << "Money" << "0.00" << "Right";
        QTest::newRow("Text to Number right-aligns") << "Text" << "Number" << "0.00" << "Right";
        QTest::newRow("to Checkbox centres") << "Number" << "Checkbox" << "" << "Center";
        QTest::newRow("typed \"number\" is Text") << "Number" << "number" << "" << "Left";
    }

    void typeChangeRules()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, format);
        QFETCH(QString, alignment);
        Fixture f;
        f.fd->open(false);
        f.edit(4, Def::TypeColumn, from);
        f.edit(4, Def::FormatColumn, QStringLiteral("0.00"));
        f.edit(4, Def::AlignmentColumn, QStringLiteral("Center"));
        f.edit(4, Def::TypeColumn, to);
        QCOMPARE(f.cell(4, Def::FormatColumn), format);
        QCOMPARE(f.cell(4, Def::AlignmentColumn), alignment);
        f.fd->apply();
        QCOMPARE(f.sheet().column(4).dataType, to == QLatin1String("number") ? int(TypeText) : DataTypeCode(to));
        QCOMPARE(f.sheet().column(4).format, format);
        QCOMPARE(f.sheet().column(4).alignment, AlignmentCode(alignment));
    }

    void okAppliesEveryAttribute()
    {
        Fixture f;
        f.sheet().setCurrentCell(3, 5);
        f.sheet().setText(3, 5, QStringLiteral("5"));
        f.fd->open(true);
        f.fd->cellClicked();
        QVERIFY(f.fd->isOkEnabled());
        f.edit(0, Def::TitleColumn, QStringLiteral("Price"));
        f.edit(0, Def::TypeColumn, QStringLiteral("Money"));
        f.edit(0, Def::FormatColumn, QStringLiteral("$#,###.00"));
        f.edit(0, Def::ComboColumn, QStringLiteral("1|2"));
        QVERIFY(f.fd->setData(f.fd->index(0, Def::HideColumn), int(Qt::Checked), Qt::CheckStateRole));
        f.fd->apply();
        const ColumnAttributes& a = f.sheet().column(5);
        QCOMPARE(f.sheet().title(5), QStringLiteral("Price"));
        QCOMPARE(a.dataType, int(TypeMoney));
        QCOMPARE(a.format, QStringLiteral("$#,###.00"));
        QCOMPARE(a.alignment, int(AlignRight));
        QVERIFY(a.hidden);
        QCOMPARE(f.model->document().ColumnComboLists()[5], QStringLiteral("1|2"));
        QCOMPARE(f.model->formPanel().grid().text(6, 0), QStringLiteral("Price"));
        QCOMPARE(f.model->formPanel().grid().text(6, 1), QStringLiteral("$5.00"));
        QCOMPARE(f.sheet().title(4), QStringLiteral("Zip Code")); // only the one column
    }

    void okOnAnUntitledDocumentEnablesSave()
    {
        Fixture f;
        QVERIFY(!f.model->document().isSaveEnabled());
        f.fd->open(false);
        f.fd->apply();
        QVERIFY(f.model->document().isSaveEnabled());
        QVERIFY(f.model->document().IsModified());
    }

    void deletingTheLastRowRemovesTheLastColumn()
    {
        Fixture f;
        f.fd->open(false);
        f.fd->deleteRow(9);
        QVERIFY(f.fd->isOkEnabled());
        f.fd->apply();
        QCOMPARE(f.sheet().cols(), 9);
        QCOMPARE(f.sheet().text(1, 8), QStringLiteral("c8"));
        QCOMPARE(f.model->formPanel().grid().rows(), 10);
        QCOMPARE(f.model->document().ColumnComboLists().size(), 9);
    }

    void appendedRowAddsAColumn()
    {
        Fixture f;
        f.fd->open(false);
        f.fd->appendRow();
        QCOMPARE(f.cell(10, Def::NumberColumn), QStringLiteral("11"));
        QCOMPARE(f.cell(10, Def::TypeColumn), QStringLiteral("Text"));
        QCOMPARE(f.cell(10, Def::AlignmentColumn), QStringLiteral("Left"));
        f.edit(10, Def::TitleColumn, QStringLiteral("Notes"));
        f.fd->apply();
        QCOMPARE(f.sheet().cols(), 11);
        QCOMPARE(f.sheet().title(10), QStringLiteral("Notes"));
        QVERIFY(f.sheet().isCellEmpty(1, 10));
    }

    // Inserting or deleting a definition in the middle moves the cells with their
    // definitions, so no column's data ends up under another column's title.
    void cellsGoWithTheirDefinitions()
    {
        Fixture f;
        f.fd->open(false);
        f.fd->insertRow(2);
        QCOMPARE(f.cell(2, Def::TitleColumn), QString());
        QCOMPARE(f.cell(3, Def::TitleColumn), QStringLiteral("City"));
        QCOMPARE(f.cell(3, Def::NumberColumn), QStringLiteral("4"));
        f.edit(2, Def::TitleColumn, QStringLiteral("Suite"));
        f.fd->deleteRow(6); // "Phone"
        f.fd->apply();
        RecordSheet& s = f.sheet();
        QCOMPARE(s.cols(), 10);
        const QStringList titles{QStringLiteral("Name"),  QStringLiteral("Street"), QStringLiteral("Suite"),
                                 QStringLiteral("City"),  QStringLiteral("State"),  QStringLiteral("Zip Code"),
                                 QStringLiteral("Web Site"), QStringLiteral("Email"), QString(), QString()};
        const QStringList cells{QStringLiteral("c0"), QStringLiteral("c1"), QString(), QStringLiteral("c2"),
                                QStringLiteral("c3"), QStringLiteral("c4"), QStringLiteral("c6"), QStringLiteral("c7"),
                                QStringLiteral("c8"), QStringLiteral("c9")};
        for (int c = 0; c < 10; ++c) {
            QCOMPARE(s.title(c), titles[c]);
            QCOMPARE(s.text(5, c), cells[c]);
        }
    }

    void allColsKeepsTheEditedColumn()
    {
        Fixture f;
        f.sheet().setCurrentCell(1, 1);
        f.fd->open(true);
        f.edit(0, Def::TitleColumn, QStringLiteral("Address"));
        QSignalSpy mode(f.fd.get(), &ColumnDefModel::modeChanged);
        f.fd->allColumns();
        QCOMPARE(mode.size(), 1);
        QVERIFY(!f.fd->isOneColumn());
        QCOMPARE(f.fd->rowCount(), 10);
        QCOMPARE(f.cell(1, Def::TitleColumn), QStringLiteral("Address"));
        f.edit(2, Def::TitleColumn, QStringLiteral("Town"));
        f.fd->apply();
        QCOMPARE(f.sheet().title(1), QStringLiteral("Address"));
        QCOMPARE(f.sheet().title(2), QStringLiteral("Town"));
        QCOMPARE(f.sheet().text(1, 2), QStringLiteral("c2"));
    }

    void columnButtonsFromOneColumnWorkOnAllColumns()
    {
        Fixture f;
        f.sheet().setCurrentCell(1, 4);
        f.fd->open(true);
        f.fd->insertRow(0); // above the one row shown: above column 4
        QVERIFY(!f.fd->isOneColumn());
        QCOMPARE(f.fd->rowCount(), 11);
        QCOMPARE(f.cell(4, Def::TitleColumn), QString());
        QCOMPARE(f.cell(5, Def::TitleColumn), QStringLiteral("Zip Code"));
    }

    void cancelLeavesTheSheet()
    {
        Fixture f;
        f.fd->open(false);
        f.fd->deleteRow(0);
        f.edit(0, Def::TitleColumn, QStringLiteral("x"));
        // Nothing is applied without OK; a new opening starts over.
        QCOMPARE(f.sheet().cols(), 10);
        QCOMPARE(f.sheet().title(1), QStringLiteral("Street"));
        f.fd->open(false);
        QCOMPARE(f.cell(0, Def::TitleColumn), QStringLiteral("Name"));
        QVERIFY(!f.model->document().IsModified());
    }

    void sortArrowStaysWithItsColumn()
    {
        Fixture f;
        f.model->document().setSortedColumn(5);
        f.sheet().setHeaderPicture(5, PictureUp);
        f.fd->open(false);
        f.fd->deleteRow(1);
        f.fd->apply();
        QCOMPARE(f.model->document().SortedColumn(), 4);
        QCOMPARE(int(f.sheet().style(0, 4).picture), int(PictureUp));
    }
};

QTEST_GUILESS_MAIN(TestColumnDefModel)
#include "TestColumnDefModel.moc"

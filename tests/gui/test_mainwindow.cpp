// The main window as the user meets it: the start page, the toolbar, moving between pages,
// leaving through the leave panel, and the column fitting of its grids.

#include "testsupport.h"

#include "app/columnwidths.h"
#include "app/panelsizes.h"
#include "app/startpageplacement.h"
#include "app/systemcombo.h"
#include "app/tform1.h"
#include "catalogue/flowersystems.h"

#include "store/error.h"
#include "widgets/datagrid.h"

#include <QAbstractButton>
#include <QDir>
#include <QTemporaryDir>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QHeaderView>
#include <QListWidget>
#include <QScrollBar>
#include <QSplitter>
#include <QStandardItemModel>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>

#include <memory>

namespace {

enum class Rule { WholeWidth, NameBesideAbbreviation, EachOfThreeNames };

// A grid model with the given column titles and rows, as the grids show once bound.
QStandardItemModel *fillGrid(QTableView *grid, const QStringList &titles, int rows)
{
    auto *model = new QStandardItemModel(rows, int(titles.size()), grid);
    model->setHorizontalHeaderLabels(titles);
    grid->setModel(model);
    return model;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startsOnStartPageWithTabsHidden();
    void toolbarPictureButtonsSayWhatTheyDo_data();
    void toolbarPictureButtonsSayWhatTheyDo();
    void listsHoldTheFlowerSystems();
    void radioGroupsAreNumberedAndStartChosen_data();
    void radioGroupsAreNumberedAndStartChosen();
    void panelsStartAtTheirFirstSizes_data();
    void panelsStartAtTheirFirstSizes();
    void closeBoxIsRefusedWhileLeavePanelHidden();
    void noOnLeavePanelReturnsToThePageThatShowed_data();
    void noOnLeavePanelReturnsToThePageThatShowed();
    void symptomsButtonEntersSymptomsPage();
    void closeOnRepertoryGoesBackToSymptomsThenOffersToLeave();
    void systemListShowsItsOwnTextUntilTheNextPick();
    void startPageCentresLogoAndLeavePanelAsOneBlock();
    void returnPanelFillsTheFlowerListPanel();
    void startPagePlacement_data();
    void startPagePlacement();
    void columnWidths_data();
    void columnWidths();
    void fittedColumnsFillTheirGrid_data();
    void fittedColumnsFillTheirGrid();
    void resizingOrMovingASplitterRefitsItsGrids();
    void withoutTablesOnlyLeavingIsOffered();
    void siClosesTheWindow(); // last: it waits one second and closes the window

private:
    template <typename T = QWidget>
    T *control(const char *name) const;
    void showPage(const char *page);
    QWidget *currentPage() const;

    std::unique_ptr<WorkingFolder> folder;
    std::unique_ptr<TForm1> form;
};

template <typename T>
T *TestMainWindow::control(const char *name) const
{
    T *found = form->findChild<T *>(QLatin1String(name));
    if (found == nullptr)
        qFatal("the main window has no control %s of the expected kind", name);
    return found;
}

void TestMainWindow::showPage(const char *page)
{
    control<QTabWidget>("Ficha")->setCurrentWidget(control(page));
    QCoreApplication::processEvents();
}

QWidget *TestMainWindow::currentPage() const
{
    return control<QTabWidget>("Ficha")->currentWidget();
}

void TestMainWindow::initTestCase()
{
    // Closing the window must not end the test run.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setApplicationName(QStringLiteral("Vantolia"));
    folder = std::make_unique<WorkingFolder>();
}

void TestMainWindow::withoutTablesOnlyLeavingIsOffered()
{
    form.reset();
    QTemporaryDir empty;
    const QString before = QDir::currentPath();
    QDir::setCurrent(empty.path());
    form = std::make_unique<TForm1>();
    try {
        form->show(); // the application's handler shows what this throws
        QFAIL("the window opened without its tables");
    } catch (const store::Error &e) {
        QVERIFY2(e.message().contains(QStringLiteral("Flores.db")), qPrintable(e.message()));
    }
    QDir::setCurrent(before);
    QVERIFY(control<QTabWidget>("Ficha")->tabBar()->isHidden());
    QCOMPARE(currentPage(), control("PagLogo"));
    QVERIFY(!control("CBSel")->isEnabled());
    QVERIFY(!control("Sintomas")->isEnabled());
    control<QAbstractButton>("cerrar")->click();
    QVERIFY(control("PanAband")->isVisible());
}

void TestMainWindow::init()
{
    form = std::make_unique<TForm1>();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
}

void TestMainWindow::cleanup()
{
    form.reset();
}

void TestMainWindow::startsOnStartPageWithTabsHidden()
{
    QCOMPARE(form->windowTitle(), QStringLiteral("Quenstrel - Vantolia"));
    QCOMPARE(form->size(), QSize(1024, 720));
    QCOMPARE(currentPage(), control("PagLogo"));
    QVERIFY(control<QTabWidget>("Ficha")->tabBar()->isHidden());
    QVERIFY(control("PanBot")->isVisible());
    QCOMPARE(control("PanBot")->height(), 45);
    QVERIFY(control("PanLogo")->isVisible());
    QVERIFY(!control("PanAband")->isVisible());
    QVERIFY(!control("Modificar")->isVisible());
    QVERIFY(!control<QAbstractButton>("Sintomas")->isChecked());
}

void TestMainWindow::toolbarPictureButtonsSayWhatTheyDo_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("says");
    QTest::newRow("help") << "Ayuda" << "Ayuda";
    QTest::newRow("colours") << "color" << "Cambiar colores";
    QTest::newRow("larger") << "Mas" << "Letra más grande";
    QTest::newRow("smaller") << "Menos" << "Letra más chica";
    QTest::newRow("close") << "cerrar" << "Cerrar";
}

void TestMainWindow::toolbarPictureButtonsSayWhatTheyDo()
{
    QFETCH(QString, button);
    QFETCH(QString, says);
    auto *found = form->findChild<QAbstractButton *>(button);
    QVERIFY(found != nullptr);
    QVERIFY(found->isVisible());
    QVERIFY(found->text().isEmpty());
    QVERIFY(!found->icon().isNull());
    QCOMPARE(found->accessibleName(), says);
    QCOMPARE(found->toolTip(), says);
}

void TestMainWindow::listsHoldTheFlowerSystems()
{
    auto *systems = control<SystemCombo>("CBSel");
    auto *abbreviations = control<QListWidget>("abbreviationList");
    QCOMPARE(systems->count(), catalogue::kSystemCount + 1);
    QCOMPARE(abbreviations->count(), catalogue::kSystemCount + 1);
    for (int number = 0; number <= catalogue::kSystemCount; ++number) {
        QCOMPARE(systems->itemText(number), catalogue::systemName(number));
        QCOMPARE(abbreviations->item(number)->text(), catalogue::systemAbbreviation(number));
    }
    QCOMPARE(systems->maxVisibleItems(), catalogue::kSystemCount + 1);
    QCOMPARE(systems->toolTip(), QStringLiteral("Seleccione el Sistema Floral"));
    QVERIFY(!abbreviations->isVisible());
}

void TestMainWindow::radioGroupsAreNumberedAndStartChosen_data()
{
    QTest::addColumn<QString>("group");
    QTest::addColumn<QList<int>>("ids");
    QTest::addColumn<int>("chosen");
    QTest::newRow("flower-page language") << "IdiomaButtons" << QList<int>{1, 2, 3} << 1;
    QTest::newRow("photo fit") << "AjusteButtons" << QList<int>{0, 1, 2} << 2;
    QTest::newRow("search mode") << "RGBusButtons" << QList<int>{0, 1, 2, 3} << 0;
    QTest::newRow("result language") << "IdiomaRepButtons" << QList<int>{0, 1, 2} << 0;
}

void TestMainWindow::radioGroupsAreNumberedAndStartChosen()
{
    QFETCH(QString, group);
    QFETCH(QList<int>, ids);
    QFETCH(int, chosen);
    auto *buttons = form->findChild<QButtonGroup *>(group);
    QVERIFY(buttons != nullptr);
    QList<int> found;
    for (QAbstractButton *button : buttons->buttons())
        found << buttons->id(button);
    QCOMPARE(found, ids);
    QCOMPARE(buttons->checkedId(), chosen);
}

void TestMainWindow::panelsStartAtTheirFirstSizes_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("panel");
    QTest::addColumn<int>("extent");
    QTest::newRow("flower list width") << "PagFlor" << "PanFlor" << 280;
    QTest::newRow("flower symptoms height") << "PagFlor" << "PanInfFlor" << 154;
    QTest::newRow("descriptions width") << "PagFlor" << "PanMemo" << 392;
    QTest::newRow("general description height") << "PagFlor" << "PanSupMemo" << 236;
    QTest::newRow("flowers of a symptom height") << "PagSint" << "PanInfSint" << 218;
    QTest::newRow("search panel width") << "PagSint" << "PanDerSint" << 395;
    QTest::newRow("chosen symptoms height") << "PagRep" << "GrRep" << 327;
    QTest::newRow("result panel width") << "PagRep" << "PanDerRep" << 296;
}

void TestMainWindow::panelsStartAtTheirFirstSizes()
{
    QFETCH(QString, page);
    QFETCH(QString, panel);
    QFETCH(int, extent);
    showPage(page.toLatin1().constData());
    QCOMPARE(panelExtent(control(panel.toLatin1().constData())), extent);
}

void TestMainWindow::closeBoxIsRefusedWhileLeavePanelHidden()
{
    QCloseEvent request;
    QApplication::sendEvent(form.get(), &request);
    QVERIFY(!request.isAccepted());
    QVERIFY(!form->close());
    QVERIFY(form->isVisible());

    showPage("PagSint");
    QVERIFY(!form->close());
    QVERIFY(form->isVisible());
    QCOMPARE(currentPage(), control("PagSint"));
}

void TestMainWindow::noOnLeavePanelReturnsToThePageThatShowed_data()
{
    QTest::addColumn<QString>("page");
    QTest::newRow("start page") << "PagLogo";
    QTest::newRow("flower page") << "PagFlor";
    QTest::newRow("symptoms page") << "PagSint";
}

void TestMainWindow::noOnLeavePanelReturnsToThePageThatShowed()
{
    QFETCH(QString, page);
    showPage(page.toLatin1().constData());

    control<QAbstractButton>("cerrar")->click();
    QCOMPARE(currentPage(), control("PagLogo"));
    QVERIFY(control("PanAband")->isVisible());
    QVERIFY(!control("PanBot")->isVisible());

    control<QAbstractButton>("BitBtn2")->click();
    QCOMPARE(currentPage(), control(page.toLatin1().constData()));
    QVERIFY(!control("PanAband")->isVisible());
    QVERIFY(control("PanBot")->isVisible());
    QVERIFY(!form->close());
}

void TestMainWindow::symptomsButtonEntersSymptomsPage()
{
    auto *symptoms = control<QAbstractButton>("Sintomas");
    for (int press = 1; press <= 2; ++press) {
        // The second press finds the button down already; it must stay down.
        symptoms->click();
        QCOMPARE(currentPage(), control("PagSint"));
        QVERIFY(symptoms->isChecked());
        QVERIFY(control("Modificar")->isVisible());
        QVERIFY(!control("PanBotAgrSint")->isVisible());
        QCOMPARE(control<SystemCombo>("CBSel")->shownText(), QStringLiteral("Seleccione"));
        QCOMPARE(control<SystemCombo>("CBSel")->currentIndex(), -1);
    }
}

void TestMainWindow::closeOnRepertoryGoesBackToSymptomsThenOffersToLeave()
{
    showPage("PagRep");
    auto *close = control<QAbstractButton>("cerrar");

    close->click();
    QCOMPARE(currentPage(), control("PagSint"));
    QVERIFY(control<QAbstractButton>("Sintomas")->isChecked());
    QVERIFY(control("Modificar")->isVisible());
    QVERIFY(control("PanBot")->isVisible());
    QVERIFY(!control("PanAband")->isVisible());

    close->click();
    QCOMPARE(currentPage(), control("PagLogo"));
    QVERIFY(control("PanAband")->isVisible());

    control<QAbstractButton>("BitBtn2")->click();
    QCOMPARE(currentPage(), control("PagSint"));
}

void TestMainWindow::systemListShowsItsOwnTextUntilTheNextPick()
{
    auto *systems = control<SystemCombo>("CBSel");
    QCOMPARE(systems->currentIndex(), -1);
    QCOMPARE(systems->shownText(), QStringLiteral("Sistema Floral"));

    systems->setCurrentIndex(3);
    control<QAbstractButton>("Sintomas")->click();
    QCOMPARE(systems->currentIndex(), 3);
    QCOMPARE(systems->shownText(), QStringLiteral("Seleccione"));

    QSignalSpy picks(systems, &QComboBox::activated);
    systems->setFocus();
    QTest::keyClick(systems, Qt::Key_Down);
    QCOMPARE(picks.count(), 1);
    QCOMPARE(systems->shownText(), catalogue::systemName(4));
}

void TestMainWindow::startPageCentresLogoAndLeavePanelAsOneBlock()
{
    QWidget *page = control("PagLogo");
    QWidget *logo = control("PanLogo");
    QWidget *leave = control("PanAband");
    const auto logoCentred = [&] {
        return logo->pos() == QPoint((page->width() - logo->width()) / 2, (page->height() - logo->height()) / 2);
    };
    QVERIFY(logoCentred());
    form->resize(900, 651);
    QTRY_VERIFY(logoCentred());

    showPage("PagFlor");
    control<QAbstractButton>("cerrar")->click();
    const auto blockCentred = [&] {
        const int top = (page->height() - logo->height() - leave->height() - 10) / 2;
        return logo->pos() == QPoint((page->width() - logo->width()) / 2, top)
               && leave->pos() == QPoint((page->width() - leave->width()) / 2, top + logo->height() + 10);
    };
    QTRY_VERIFY(blockCentred());
    form->resize(1000, 700);
    QTRY_VERIFY(blockCentred());
    QCOMPARE(page->height(), form->height());
}

void TestMainWindow::returnPanelFillsTheFlowerListPanel()
{
    showPage("PagFlor");
    QWidget *list = control("GrFlor");
    QWidget *ret = control("PanOK");
    const QRect listPlace = list->geometry();

    // What showing a flower of the result does to this panel.
    list->hide();
    ret->show();
    QTRY_COMPARE(ret->geometry(), listPlace);
    const QRect button = control("EnterEscape")->geometry();
    QVERIFY(!ret->rect().intersects(button));
}

void TestMainWindow::startPagePlacement_data()
{
    QTest::addColumn<QSize>("page");
    QTest::addColumn<bool>("leaveShown");
    QTest::addColumn<QPoint>("logo");
    QTest::addColumn<QPoint>("leave");
    QTest::newRow("logo alone") << QSize(1024, 675) << false << QPoint(340, 222) << QPoint(340, 463);
    QTest::newRow("logo and leave panel") << QSize(1024, 675) << true << QPoint(340, 167) << QPoint(340, 408);
    QTest::newRow("odd sizes round down") << QSize(1023, 674) << false << QPoint(339, 221) << QPoint(339, 462);
    QTest::newRow("page smaller than logo rounds toward zero")
        << QSize(301, 200) << false << QPoint(-21, -15) << QPoint(-21, 226);
}

void TestMainWindow::startPagePlacement()
{
    QFETCH(QSize, page);
    QFETCH(bool, leaveShown);
    QFETCH(QPoint, logo);
    QFETCH(QPoint, leave);
    const StartPagePlacement place = placeStartPage(page, QSize(344, 231), QSize(344, 100), leaveShown);
    QCOMPARE(place.logo, logo);
    QCOMPARE(place.leave, leave);
}

void TestMainWindow::columnWidths_data()
{
    QTest::addColumn<Rule>("rule");
    QTest::addColumn<int>("gridWidth");
    QTest::addColumn<int>("keptWidth");
    QTest::addColumn<bool>("hasRows");
    QTest::addColumn<int>("expected");
    QTest::newRow("empty grid takes full width") << Rule::WholeWidth << 500 << 0 << false << 500;
    QTest::newRow("grid with rows leaves scroll bar room") << Rule::WholeWidth << 500 << 0 << true << 478;
    QTest::newRow("flower name beside abbreviation") << Rule::NameBesideAbbreviation << 272 << 50 << false << 221;
    QTest::newRow("flower name beside abbreviation, rows") << Rule::NameBesideAbbreviation << 272 << 50 << true << 199;
    QTest::newRow("three names share evenly") << Rule::EachOfThreeNames << 624 << 50 << true << 183;
    QTest::newRow("three names round down") << Rule::EachOfThreeNames << 624 << 50 << false << 190;
    QTest::newRow("three names in a squeezed grid round toward zero")
        << Rule::EachOfThreeNames << 40 << 50 << false << -4;
}

void TestMainWindow::columnWidths()
{
    QFETCH(Rule, rule);
    QFETCH(int, gridWidth);
    QFETCH(int, keptWidth);
    QFETCH(bool, hasRows);
    QFETCH(int, expected);
    switch (rule) {
    case Rule::WholeWidth:
        QCOMPARE(columnwidths::wholeWidth(gridWidth, hasRows), expected);
        break;
    case Rule::NameBesideAbbreviation:
        QCOMPARE(columnwidths::nameBesideAbbreviation(gridWidth, keptWidth, hasRows), expected);
        break;
    case Rule::EachOfThreeNames:
        QCOMPARE(columnwidths::eachOfThreeNames(gridWidth, keptWidth, hasRows), expected);
        break;
    }
}

void TestMainWindow::fittedColumnsFillTheirGrid_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("grid");
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<int>("rows");
    QTest::addColumn<bool>("abbreviationHidden");
    const QStringList names{"Tipo", "Nombre Español", "Nombre Inglés", "Nombre Científico"};
    QTest::newRow("empty symptom list") << "PagSint" << "GrSintomas" << QStringList{"Nom"} << 0 << false;
    QTest::newRow("symptom list with rows") << "PagSint" << "GrSintomas" << QStringList{"Nom"} << 3 << false;
    QTest::newRow("chosen symptoms") << "PagRep" << "GrRep" << QStringList{"Nom"} << 2 << false;
    QTest::newRow("flower list with abbreviation") << "PagFlor" << "GrFlor" << QStringList{"Nom1", "Tipo"} << 4 << false;
    QTest::newRow("flower list without abbreviation") << "PagFlor" << "GrFlor" << QStringList{"Nom1", "Tipo"} << 4 << true;
    QTest::newRow("flowers of a symptom") << "PagSint" << "GrIdiomas" << names << 2 << false;
    QTest::newRow("flowers of a symptom, empty") << "PagSint" << "GrIdiomas" << names << 0 << false;
}

void TestMainWindow::fittedColumnsFillTheirGrid()
{
    QFETCH(QString, page);
    QFETCH(QString, grid);
    QFETCH(QStringList, titles);
    QFETCH(int, rows);
    QFETCH(bool, abbreviationHidden);
    showPage(page.toLatin1().constData());
    auto *view = control<QTableView>(grid.toLatin1().constData());
    fillGrid(view, titles, rows);
    view->setColumnHidden(1, abbreviationHidden);
    QCoreApplication::processEvents();
    qobject_cast<DataGrid *>(view)->fitColumns();
    QCoreApplication::processEvents();

    // Few rows: no vertical scroll bar shows, so the viewport is the whole inner width.
    QVERIFY(!view->verticalScrollBar()->isVisible());
    const int room = view->viewport()->width() - (rows > 0 ? columnwidths::scrollBarRoom : 0);
    QHeaderView *header = view->horizontalHeader();
    if (grid == QLatin1String("GrIdiomas")) {
        const int each = header->sectionSize(1);
        QCOMPARE(header->sectionSize(2), each);
        QCOMPARE(header->sectionSize(3), each);
        // Three pixels for the column lines, and what the division by three leaves over.
        const int left = room - header->sectionSize(0) - 3 * each;
        QVERIFY2(left >= 3 && left < 6, qPrintable(QString::number(left)));
    } else if (titles.size() == 2 && !abbreviationHidden) {
        QCOMPARE(header->sectionSize(0) + 1 + header->sectionSize(1), room);
    } else {
        QCOMPARE(header->sectionSize(0), room);
    }
    QCOMPARE(view->horizontalScrollBar()->maximum(), 0);
}

void TestMainWindow::resizingOrMovingASplitterRefitsItsGrids()
{
    control<QAbstractButton>("Sintomas")->click();
    auto *symptoms = control<QTableView>("GrSintomas");
    auto *chosen = control<QTableView>("GrSel");
    fillGrid(symptoms, {"Nom"}, 3);
    fillGrid(chosen, {"Nom"}, 0);
    form->resize(1200, 720);
    QTRY_COMPARE(symptoms->horizontalHeader()->sectionSize(0), symptoms->viewport()->width() - 22);
    QCOMPARE(chosen->horizontalHeader()->sectionSize(0), chosen->viewport()->width());

    // Moving the splitter between the flower area and the descriptions refits the flower's
    // symptoms; the user's drag is what sizes the panels and announces the move.
    showPage("PagFlor");
    auto *flowerSymptoms = control<QTableView>("GrSint");
    fillGrid(flowerSymptoms, {"Sint"}, 0);
    setPanelExtent(control("PanMemo"), 300);
    QCoreApplication::processEvents();
    auto *splitter = control<QSplitter>("Splitter9");
    emit splitter->splitterMoved(splitter->sizes().constFirst(), 1);
    QCOMPARE(flowerSymptoms->horizontalHeader()->sectionSize(0), flowerSymptoms->viewport()->width());
}

void TestMainWindow::siClosesTheWindow()
{
    showPage("PagSint");
    control<QAbstractButton>("cerrar")->click();
    control<QAbstractButton>("BitBtn1")->click();
    QVERIFY(!form->isVisible());
    QCOMPARE(currentPage(), control("PagLogo"));
    // The splash window has come and gone again.
    for (QWidget *window : QApplication::topLevelWidgets())
        QVERIFY2(!window->isVisible(), qPrintable(window->metaObject()->className()));
}

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"

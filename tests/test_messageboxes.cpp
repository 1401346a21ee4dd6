#include "ui/messageboxes.h"
#include "ui/application.h"
#include "ui/logoartwork.h"
#include "ui/messagetext.h"
#include "app/tflogo.h"
#include "store/error.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSet>
#include <QTest>
#include <QTimer>

#include <functional>
#include <stdexcept>

namespace {

using BoxAction = std::function<void(QWidget *)>;

// Acts on the modal box that the next call opens, from inside its event loop, once the box has
// the keyboard. `done` tells that the action ran to its end (a failed check inside it returns
// early). A box left open is hidden, so a broken box fails the test instead of hanging it.
class NextModal
{
public:
    explicit NextModal(BoxAction act)
    {
        QTimer::singleShot(0, &m_timerOwner, [this, act] {
            QWidget *box = QApplication::activeModalWidget();
            if (!box || !QTest::qWaitForWindowActive(box))
                return;
            act(box);
            done = !QTest::currentTestFailed();
            if (box->isVisible()) {
                done = false;
                box->hide();
            }
        });
    }

    bool done = false;

private:
    QObject m_timerOwner; // drops the timer if no box ever opens
};

QPushButton *button(QWidget *box, const char *name)
{
    return box->findChild<QPushButton *>(QLatin1String(name));
}

bool centredOnScreen(const QWidget *window)
{
    const QPoint centre = window->geometry().center();
    const QPoint screen = window->screen()->availableGeometry().center();
    return qAbs(centre.x() - screen.x()) <= 1 && qAbs(centre.y() - screen.y()) <= 1;
}

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT

private slots:
    void errorBoxTextAddsFullStop_data();
    void errorBoxTextAddsFullStop();
    void carriageReturnBreaksLine();
    void questionBoxLayout_data();
    void questionBoxLayout();
    void questionBoxAnswers_data();
    void questionBoxAnswers();
    void messageBoxes_data();
    void messageBoxes();
    void exceptionLeavingHandlerIsShown();
    void seamAnswersAndRecordsInOrder();
    void logoAndSplash();
    void toolkitWindowsSpeakSpanish();
};

void TestDialogs::errorBoxTextAddsFullStop_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("letter") << "Key violation" << "Key violation.";
    QTest::newRow("accented letter") << "Índice dañado" << "Índice dañado.";
    QTest::newRow("question mark sorts after") << "Hola?" << "Hola?.";
    QTest::newRow("full stop") << "Fin." << "Fin.";
    QTest::newRow("comma sorts before") << "abc," << "abc,";
    QTest::newRow("closing bracket sorts before") << "(abc)" << "(abc)";
    QTest::newRow("empty") << "" << "";
}

void TestDialogs::errorBoxTextAddsFullStop()
{
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QCOMPARE(errorBoxText(message), shown);
}

void TestDialogs::carriageReturnBreaksLine()
{
    QCOMPARE(displayText("Uno\rDos"), QString("Uno\nDos"));
    QCOMPARE(displayText("Uno\r\nDos"), QString("Uno\nDos"));
    QCOMPARE(displayText("\r\rUno\n"), QString("\n\nUno\n"));
}

void TestDialogs::questionBoxLayout_data()
{
    QTest::addColumn<QString>("question");
    QTest::addColumn<int>("minLines");
    QTest::addColumn<int>("maxLines");
    QTest::newRow("one line") << "Desea Cancelar ?" << 1 << 1;
    QTest::newRow("wrapped") << "Va a quitar TODOS los síntomas seleccionados de la lista de "
                                "este paciente y no podrá recuperarlos ?"
                             << 3 << 10;
    QTest::newRow("carriage return") << "Desea eliminar\resta imagen ?" << 2 << 2;
}

void TestDialogs::questionBoxLayout()
{
    QFETCH(QString, question);
    QFETCH(int, minLines);
    QFETCH(int, maxLines);

    NextModal modal([&](QWidget *box) {
        QCOMPARE(box->objectName(), QString("Confirmar"));
        QCOMPARE(box->windowTitle(), QString("Vantolia"));
        QCOMPARE(box->minimumSize(), box->maximumSize());
        QVERIFY(!(box->windowFlags() & (Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint)));
        QVERIFY(box->windowFlags() & Qt::WindowCloseButtonHint);
        QVERIFY(centredOnScreen(box));

        // Width fixed at 220; the wrapped text sets the height, 80 pixels beyond it.
        const int height = box->height();
        QCOMPARE(box->width(), 220);
        const auto *label = box->findChild<QLabel *>("question");
        QCOMPARE(label->text(), displayText(question));
        QCOMPARE(label->geometry(), QRect(0, 0, 220, height - 50));
        const QFontMetrics metrics(label->font());
        const int textHeight = height - 80;
        QVERIFY(textHeight >= metrics.height() + (minLines - 1) * metrics.lineSpacing());
        QVERIFY(textHeight <= metrics.height() + (maxLines - 1) * metrics.lineSpacing());

        QPushButton *yes = button(box, "Si");
        QPushButton *no = button(box, "No");
        QCOMPARE(yes->text(), QString("&Si"));
        QCOMPARE(no->text(), QString("&No"));
        QCOMPARE(yes->geometry(), QRect(40, height - 37, 50, 25));
        QCOMPARE(no->geometry(), QRect(130, height - 37, 50, 25));
        QVERIFY(!yes->icon().isNull() && !no->icon().isNull());
        QVERIFY(yes->isDefault());
        QCOMPARE(QApplication::focusWidget(), yes);
        box->close();
    });
    QVERIFY(!Confirmar(question));
    QVERIFY(modal.done);
}

void TestDialogs::questionBoxAnswers_data()
{
    QTest::addColumn<BoxAction>("act");
    QTest::addColumn<bool>("answer");
    const auto key = [](Qt::Key k) {
        return BoxAction([k](QWidget *) { QTest::keyClick(QApplication::focusWidget(), k); });
    };
    const auto click = [](const char *name) {
        return BoxAction([name](QWidget *box) { QTest::mouseClick(button(box, name), Qt::LeftButton); });
    };
    QTest::newRow("Enter") << key(Qt::Key_Return) << true;
    QTest::newRow("Escape") << key(Qt::Key_Escape) << false;
    QTest::newRow("close box") << BoxAction([](QWidget *box) { box->close(); }) << false;
    QTest::newRow("click Si") << click("Si") << true;
    QTest::newRow("click No") << click("No") << false;
    QTest::newRow("Tab to No, then Enter") << BoxAction([](QWidget *) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    }) << false;
}

void TestDialogs::questionBoxAnswers()
{
    QFETCH(BoxAction, act);
    QFETCH(bool, answer);
    NextModal modal(act);
    QCOMPARE(Confirmar("Desea eliminar esta imagen ?"), answer);
    QVERIFY(modal.done);
    // Each question builds its own box and destroys it once answered.
    for (const QWidget *window : QApplication::topLevelWidgets())
        QVERIFY(window->objectName() != "Confirmar");
}

void TestDialogs::messageBoxes_data()
{
    QTest::addColumn<std::function<void()>>("show");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QMessageBox::Icon>("icon");
    QTest::newRow("notice") << std::function<void()>([] { Aviso("La planilla fue copiada\ral portapapeles"); })
                            << "La planilla fue copiada\nal portapapeles" << QMessageBox::NoIcon;
    QTest::newRow("error") << std::function<void()>([] { showError(store::kKeyViolation); })
                           << "Key violation." << QMessageBox::Critical;
}

void TestDialogs::messageBoxes()
{
    QFETCH(std::function<void()>, show);
    QFETCH(QString, text);
    QFETCH(QMessageBox::Icon, icon);
    NextModal modal([&](QWidget *widget) {
        const auto *box = qobject_cast<QMessageBox *>(widget);
        QVERIFY(box);
        QCOMPARE(box->windowTitle(), QString("Vantolia"));
        QCOMPARE(box->text(), text);
        QCOMPARE(box->icon(), icon);
        QCOMPARE(box->buttons().size(), 1);
        QCOMPARE(box->buttons().first()->text(), QString("OK"));
        QVERIFY(centredOnScreen(box));
        QTest::keyClick(widget, Qt::Key_Return);
    });
    show();
    QVERIFY(modal.done);
}

void TestDialogs::exceptionLeavingHandlerIsShown()
{
    DialogSeam seam;
    QObject receiver;
    bool reachedLast = false;
    // Queued calls reach their slot through the application's event dispatch, as user
    // events do.
    const auto post = [&](std::function<void()> slot) {
        QMetaObject::invokeMethod(&receiver, slot, Qt::QueuedConnection);
    };
    post([] { throw store::Error(store::kEmptyDataset); });
    post([] { throw SilentAbort(); });
    post([] { throw std::runtime_error("Índice dañado"); });
    post([&] { reachedLast = true; });
    QCoreApplication::sendPostedEvents(&receiver, QEvent::MetaCall);

    QVERIFY(reachedLast);
    QCOMPARE(seam.log(), QStringList({"Error: Cannot perform this operation on an empty dataset.",
                                      "Error: Índice dañado."}));
}

void TestDialogs::seamAnswersAndRecordsInOrder()
{
    NextModal unexpectedWindow([](QWidget *) {});
    {
        DialogSeam seam;
        seam.answer({true, false});
        QVERIFY(Confirmar("Desea eliminar esta imagen ?"));
        Aviso("El síntoma ya fue seleccionado");
        QVERIFY(!Confirmar("Desea Cancelar ?"));
        showError("Key violation");
        QCOMPARE(seam.log(), QStringList({"Confirmar: Desea eliminar esta imagen ?",
                                          "Aviso: El síntoma ya fue seleccionado",
                                          "Confirmar: Desea Cancelar ?",
                                          "Error: Key violation."}));
        QCoreApplication::processEvents();
        QVERIFY(!unexpectedWindow.done);
    }
    QVERIFY(!DialogSeam::active());
}

void TestDialogs::logoAndSplash()
{
    const QImage logo = drawLogo().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(logo.size(), QSize(340, 227));
    // A bare gradient has a few dozen colours; the flower and the lettering bring hundreds.
    QSet<QRgb> colours;
    for (int y = 0; y < logo.height(); ++y)
        for (int x = 0; x < logo.width(); ++x)
            colours.insert(logo.pixel(x, y));
    QVERIFY2(colours.size() > 500, qPrintable(QString::number(colours.size())));

    const QImage small = drawSmallLogo(41);
    QCOMPARE(small.height(), 41);
    QCOMPARE(small.pixelColor(0, 0).alpha(), 0);

    TFLogo splash;
    QCOMPARE(splash.size(), QSize(343, 228));
    QVERIFY(splash.windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(splash.findChildren<QWidget *>().isEmpty());
    splash.showAndPaint();
    QVERIFY(splash.isVisible());
    QVERIFY(centredOnScreen(&splash));
    const QImage shown = splash.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shown.copy(1, 0, 340, 227), logo);
    QCOMPARE(shown.pixelColor(342, 227), kActiveCaptionGradient);
}

// The file, print and preview windows come from the toolkit; the application loads its Spanish.
void TestDialogs::toolkitWindowsSpeakSpanish()
{
    const QString lookIn = QCoreApplication::translate("QFileDialog", "Look in:");
    QVERIFY2(lookIn != QLatin1String("Look in:") && !lookIn.isEmpty(), qPrintable(lookIn));
    const QString print = QCoreApplication::translate("QPrintDialog", "Print");
    QVERIFY2(print != QLatin1String("Print"), qPrintable(print));
}

int main(int argc, char *argv[])
{
    Application app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestDialogs test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_messageboxes.moc"

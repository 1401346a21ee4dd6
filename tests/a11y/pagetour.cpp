// Leads the real main window through every page and every secondary window, one stop at a
// time, for a screen-reader check that reads the window from outside (tests/a11y/walk.py).
// At each stop it prints "ready NAME" on its standard output once the window has settled, and
// goes on when a line "next" arrives on its standard input; after the last stop it prints
// "done" and ends. It runs in a fresh copy of the test catalogue and shows real windows, so it
// needs a display.
#include "app/tform1.h"
#include "repertory/mixturedialog.h"
#include "repertory/tfplanrep.h"
#include "repertory/tfselarch.h"
#include "testsupport.h"
#include "ui/application.h"
#include "ui/printchoices.h"
#include "ui/questionbox.h"
#include "ui/tfbarra.h"
#include "windowtest.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QSocketNotifier>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <unistd.h>

namespace {

// A stop settles for this many looks at the window before it is reported ready.
constexpr int kSettlingLooks = 4;
constexpr int kLookMilliseconds = 50;
// A stop that does not come within this time, or a reader that stays silent as long, ends the tour.
constexpr int kStopMilliseconds = 60000;

struct Stop
{
    const char *name;
    std::function<void()> go;      // moves the window there; may open a modal window
    std::function<bool()> reached; // true once it shows what the stop is about
    std::function<void()> leave;   // closes what `go` opened; may be empty
    bool opensWindow = false;      // a modal window is what the stop is about
};

void fail(const QString &why)
{
    std::fprintf(stderr, "pagetour: %s\n", qPrintable(why));
    std::fflush(stderr);
    QCoreApplication::exit(1);
}

template<typename T>
T *modal()
{
    auto *window = qobject_cast<T *>(QApplication::activeModalWidget());
    return window && window->isVisible() ? window : nullptr;
}

// Reached once the print choices, answered with `choice`, have given way to the window T.
template<typename T>
std::function<bool()> throughChoices(const char *choice)
{
    return [choice] {
        if (auto *choices = modal<PrintChoices>()) {
            controlOf<QAbstractButton>(choices, choice)->click();
            return false;
        }
        return modal<T>() != nullptr;
    };
}

class Tour : public QObject
{
public:
    Tour(TForm1 &form, std::vector<Stop> stops)
        : m_form(form), m_stops(std::move(stops)), m_input(STDIN_FILENO, QSocketNotifier::Read)
    {
        m_look.setInterval(kLookMilliseconds);
        connect(&m_look, &QTimer::timeout, this, &Tour::look);
        m_deadline.setSingleShot(true);
        m_deadline.setInterval(kStopMilliseconds);
        connect(&m_deadline, &QTimer::timeout, this, [this] {
            fail(QStringLiteral("la parada %1 no terminó a tiempo").arg(QLatin1String(m_stops[m_index].name)));
        });
        connect(&m_input, &QSocketNotifier::activated, this, &Tour::read);
        QTimer::singleShot(0, this, &Tour::start);
    }

private:
    void start()
    {
        m_deadline.start();
        m_settled = 0;
        // Deferred, so that a modal window that the stop opens runs its own loop outside
        // this call and the reader's lines keep arriving.
        if (const auto &go = m_stops[m_index].go)
            QTimer::singleShot(0, this, go);
        m_look.start();
    }

    void look()
    {
        const Stop &stop = m_stops[m_index];
        // A notice or question that the stop did not ask for would stand in front of it.
        if (QWidget *window = QApplication::activeModalWidget(); window && !stop.opensWindow) {
            fail(QStringLiteral("la parada %1 muestra una ventana inesperada: %2 %3")
                     .arg(QLatin1String(stop.name), window->windowTitle(),
                          window->findChild<QLabel *>() ? window->findChild<QLabel *>()->text() : QString()));
            m_look.stop();
            return;
        }
        if (!stop.reached()) {
            m_settled = 0;
            return;
        }
        if (++m_settled < kSettlingLooks)
            return;
        m_look.stop();
        m_waiting = true;
        std::printf("ready %s\n", stop.name);
        std::fflush(stdout);
    }

    void read()
    {
        char buffer[256];
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0) {
            m_input.setEnabled(false);
            fail(QStringLiteral("el lector de accesibilidad se fue antes de terminar"));
            return;
        }
        m_line.append(buffer, got);
        for (qsizetype end = m_line.indexOf('\n'); end >= 0; end = m_line.indexOf('\n')) {
            const QByteArray line = m_line.left(end).trimmed();
            m_line.remove(0, end + 1);
            if (line == "next" && m_waiting)
                QTimer::singleShot(0, this, &Tour::next);
            else
                fail(QStringLiteral("orden inesperada: %1").arg(QString::fromUtf8(line)));
        }
    }

    void next()
    {
        m_waiting = false;
        m_deadline.stop();
        if (const auto &leave = m_stops[m_index].leave)
            leave();
        if (++m_index < m_stops.size()) {
            start();
            return;
        }
        std::printf("done\n");
        std::fflush(stdout);
        QCoreApplication::exit(0);
    }

    TForm1 &m_form;
    std::vector<Stop> m_stops;
    std::size_t m_index = 0;
    int m_settled = 0;
    bool m_waiting = false;
    QSocketNotifier m_input;
    QByteArray m_line;
    QTimer m_look;
    QTimer m_deadline;
};

std::vector<Stop> stopsOf(TForm1 &form)
{
    const auto click = [&form](const char *button) { controlOf<QAbstractButton>(&form, button)->click(); };
    const auto page = [&form](const char *name) {
        return [&form, name] { return controlOf<QTabWidget>(&form, "Ficha")->currentWidget()->objectName() == QLatin1String(name); };
    };
    const auto chooseSystem = [&form](int system) {
        auto *systems = controlOf<QComboBox>(&form, "CBSel");
        systems->setCurrentIndex(system);
        emit systems->activated(system);
    };
    const auto chooseRow = [&form](const char *grid, const QString &text) {
        auto *view = controlOf<QAbstractItemView>(&form, grid);
        const int row = int(columnTexts(view).indexOf(text));
        if (row < 0)
            fail(QStringLiteral("%1 no tiene la fila %2").arg(QLatin1String(grid), text));
        else
            view->setCurrentIndex(view->model()->index(row, 0));
    };
    const auto addSymptom = [=](const QString &name) {
        chooseRow("GrSintomas", name);
        click("Agregar");
    };
    const auto closeModal = [] {
        if (QWidget *window = QApplication::activeModalWidget())
            window->close();
    };

    return {
        {"inicio", {}, page("PagLogo"), {}},
        {"flores",
         [=] {
             chooseSystem(1);
             chooseRow("GrFlor", QStringLiteral("Agrimonia"));
         },
         page("PagFlor"), {}},
        {"sintomas",
         [=] {
             click("Sintomas");
             addSymptom(QStringLiteral("Miedo a cosas conocidas"));
             addSymptom(QStringLiteral("Dolor de cabeza"));
             addSymptom(QStringLiteral("Timidez"));
         },
         page("PagSint"), {}},
        // With nothing stored yet, opening a selection only says so.
        {"aviso", [=] { click("Abrir"); }, [] { return modal<QMessageBox>() != nullptr; }, closeModal, true},
        {"guardar-seleccion", [=] { click("Guardar"); }, [] { return modal<TFSelArch>() != nullptr; },
         [] { controlOf<QAbstractButton>(modal<TFSelArch>(), "BitBtn2")->click(); }, true},
        {"pregunta", [=] { click("Reiniciar"); }, [] { return modal<QuestionBox>() != nullptr; },
         [] { controlOf<QAbstractButton>(modal<QuestionBox>(), "No")->click(); }, true},
        {"repertorio", [=] { click("Procesar"); }, page("PagRep"), {}},
        {"mezcla", [=] { click("suggestMixture"); }, [] { return modal<MixtureDialog>() != nullptr; }, closeModal, true},
        {"imprimir", [=] { click("printCase"); }, [] { return modal<PrintChoices>() != nullptr; }, closeModal, true},
        {"vista-previa", [=] { click("printCase"); }, throughChoices<QPrintPreviewDialog>("preview"), closeModal, true},
        {"dialogo-imprimir", [=] { click("printCase"); }, throughChoices<QPrintDialog>("print"), closeModal, true},
        {"guardar-pdf", [=] { click("printCase"); }, throughChoices<QFileDialog>("savePdf"), closeModal, true},
        {"planilla", [=] { click("PlanRep"); }, [] { return modal<TFPlanRep>() != nullptr; },
         [] { controlOf<QAbstractButton>(modal<TFPlanRep>(), "Cerrar")->click(); }, true},
        {"flor-del-resultado", [=] { click("Button2"); },
         [&form] { return controlOf<QWidget>(&form, "PanOK")->isVisible(); }, {}},
        {"sintomas-edicion",
         [=] {
             click("EnterEscape");
             click("cerrar");
             click("Modificar");
         },
         [&form] { return controlOf<QWidget>(&form, "PanBotEdSint")->isVisible(); }, {}},
        {"flores-edicion",
         [=] {
             chooseSystem(1);
             chooseRow("GrFlor", QStringLiteral("Agrimonia"));
         },
         [&form] { return controlOf<QWidget>(&form, "PanEdSint")->isVisible(); }, {}},
        {"dialogo-foto", [=] { click("Leer"); }, [] { return modal<QFileDialog>() != nullptr; }, closeModal, true},
        {"progreso",
         [] { AbrirBarra(QStringLiteral("Procesando..."), QStringLiteral("Desea Cancelar ?"), 10); },
         [] { return currentBarra() && currentBarra()->isVisible(); }, [] { CerrarBarra(); }, true},
        {"abandonar", [=] { click("cerrar"); }, [&form] { return controlOf<QWidget>(&form, "PanAband")->isVisible(); },
         [=] { click("BitBtn1"); }},
    };
}

} // namespace

int main(int argc, char *argv[])
{
    Application app(argc, argv);
    try {
        const WorkingFolder folder;
        TForm1 form;
        form.resize(1024, 720);
        form.show();
        Tour tour(form, stopsOf(form));
        return app.exec();
    } catch (const std::exception &e) {
        std::fprintf(stderr, "pagetour: %s\n", e.what());
        return 1;
    }
}

#pragma once

#include "ui/testseam.h"

#include <QDialog>
#include <QList>
#include <QStringList>

#include <functional>
#include <memory>

namespace Ui {
class TFSelArch;
}

// The chooser of stored selections: a name box for saving and the list of stored names. It is
// made once and reused, so the name box keeps the last name from one use to the next.
class TFSelArch : public QDialog
{
    Q_OBJECT
public:
    explicit TFSelArch(QWidget *parent = nullptr);
    ~TFSelArch() override;

    // Fills the list with the names stored in the Repertorio folder, which is made when
    // missing, and returns how many there are. Throws store::Error.
    int ListarArchivos();

    // Ready for one use: the name box shows for saving; for opening it hides, and the first
    // name of the list is chosen.
    void prepareSave();
    void prepareOpen();
    // Shows the chooser modally; true when it was closed with OK.
    bool run();

    // The name in the name box: the one typed, or the one last chosen in the list.
    QString chosenName() const;
    // The path of the file that name stands for, as the system holds its bytes: the listed file
    // shown under it, whatever the case of its extension or the code page of its name (the one
    // chosen in the list when several show alike), or else a new file "Repertorio/NAME.Dat".
    QByteArray chosenFile() const;
    void setChosenName(const QString &name);
    // The names in the list, in its order.
    QStringList names() const;

private:
    void ListaClick();
    void ListaDblClick();

    std::unique_ptr<Ui::TFSelArch> m_ui;
};

// Test hook. While a ChooserSeam exists the chooser shows no window: each showing takes the
// next queued answer, which may read the chooser and change it as a user would, and returns
// whether the chooser closes with OK. The caption of every showing is recorded in order; a
// showing with no answer queued aborts the run, so a test cannot pass by accident.
class ChooserSeam : public TestSeam<ChooserSeam>
{
public:
    using Answer = std::function<bool(TFSelArch &)>;
    static constexpr char kName[] = "ChooserSeam";
    ~ChooserSeam() { reportUnused(m_answers.size()); }

    // Queues the answer to the next showing.
    void answer(Answer next);
    // OK with the name box as it stands; OK after typing a name; Cancel.
    static Answer accept();
    static Answer acceptWith(const QString &name);
    static Answer cancel();

    const QStringList &log() const { return m_log; }

    bool respond(TFSelArch &chooser);

private:
    QList<Answer> m_answers;
    QStringList m_log;
};

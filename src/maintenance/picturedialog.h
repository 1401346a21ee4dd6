#pragma once

#include "ui/testseam.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QFileDialog;
class QWidget;

// The file-open dialog for flower photos, OpenPic: two filters, JPEG files first and then the
// other picture kinds, and a preview of the picture under the cursor. It opens with the first
// filter the first time and afterwards with the filter under which the last file was chosen,
// in the folder of that file.
class PictureDialog
{
public:
    // The filters as the dialog shows them, in order.
    static const QStringList &filterNames();
    static constexpr int kJpegFilter = 0;

    struct Choice
    {
        QString path;
        int filter = kJpegFilter;
    };

    // Shows the dialog; nothing when the user cancels.
    std::optional<Choice> execute(QWidget *parent);

    int filterIndex() const { return m_filter; }

private:
    void prepare(QFileDialog &dialog) const;

    int m_filter = kJpegFilter;
    QString m_folder;
};

// Test hook. While a FileDialogSeam exists the photo dialog shows no window: each showing is
// recorded as it was prepared (title, filters, the filter chosen at the start, default
// extension, preview pane) and takes the next queued answer, a file and the filter it was
// chosen under, or a cancel. A showing with no answer queued aborts the run, so a test cannot
// pass by accident.
class FileDialogSeam : public TestSeam<FileDialogSeam>
{
public:
    struct Showing
    {
        QString title;
        QStringList filters;
        QString selectedFilter;
        QString defaultSuffix;
        bool hasPreview = false;
    };
    // Runs while the prepared dialog stands, before the answer is taken: a test may look at the
    // preview pane through it.
    using Look = std::function<void(QFileDialog &)>;

    static constexpr char kName[] = "FileDialogSeam";
    ~FileDialogSeam() { reportUnused(m_answers.size()); }

    // `filter` is one of PictureDialog::filterNames().
    void answer(const QString &path, const QString &filter, Look look = {});
    void cancel(Look look = {});

    const QList<Showing> &showings() const { return m_showings; }

    std::optional<PictureDialog::Choice> respond(QFileDialog &dialog);

private:
    struct Answer
    {
        std::optional<PictureDialog::Choice> choice;
        Look look;
    };
    QList<Answer> m_answers;
    QList<Showing> m_showings;
};

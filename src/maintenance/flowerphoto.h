#pragma once

#include "photofit.h"
#include "picturedialog.h"
#include "storedphoto.h"

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QThreadPool>

class QAbstractButton;
class QButtonGroup;
class QLabel;
class QPaintEvent;
class QScrollArea;
namespace store {
class DataSource;
class View;
} // namespace store

// The current flower's photograph on the flower page: shown in DBImage1 inside the scroll box
// ScrBox, fitted by the mode chosen in Ajuste, and, with the buttons under it, loaded from a
// file, pasted, copied and deleted. The photo follows the flower cursor by itself; the page
// calls AjustarFoto wherever the layout is to be applied again.
//
// A stored photo carries a shrunk copy (see storedphoto.h): the fitted modes paint from it and
// the whole photo is decoded, on a worker thread, only when it is wanted at a size the copy
// cannot give.
class FlowerPhoto : public QObject
{
    Q_OBJECT
public:
    struct Controls
    {
        QScrollArea *ScrBox;
        QLabel *DBImage1;
        QButtonGroup *Ajuste; // positions 0 to 2
        QAbstractButton *Copiar;
        QAbstractButton *Pegar;
        QAbstractButton *Leer;
        QAbstractButton *Borrar;
    };

    FlowerPhoto(const Controls &controls, store::DataSource &SFlores, QObject *parent = nullptr);
    ~FlowerPhoto() override;

    void AjustarFoto();
    void AjusteClick();
    void LeerClick();
    void PegarClick();
    void CopiarClick();
    void BorrarClick();

    // Waits for a decoding of the whole photo under way and takes its result in: for
    // measurements, which time the two apart.
    void finishDecoding();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    store::View &flowers() const;
    bool hasPhoto() const;
    // The size of the photo shown; empty when there is none.
    QSize pictureSize() const;
    // The whole photo, decoded now if it has not been yet; null when none is shown.
    QImage wholePicture();
    void markStale();
    void followRow();
    void showBytes(const QByteArray &bytes);
    void placeImage();
    void paintImage(const QPaintEvent &event);
    const QImage &fittedPicture(QSize target);
    void wantWholePicture();
    void wholePictureDecoded(quint64 ticket, const QImage &picture);
    // Writes a bitmap into Foto and shows it; the caller posts.
    void storePicture(const QImage &bitmap);

    Controls m_ui;
    QObject *m_viewport = nullptr;
    store::DataSource &m_source;
    PictureDialog m_OpenPic;
    photo::PhotoLayout m_layout;

    // The photo shown: its stored bytes, what their head says, and the whole picture once decoded.
    QByteArray m_bytes;
    photo::StoredPhoto m_stored;
    QImage m_whole;
    bool m_stale = true;
    bool m_refreshQueued = false;

    // The picture at the size last painted, kept while neither changes.
    QImage m_fitted;
    QSize m_fittedSize;
    bool m_fittedFromWhole = false;

    // Whole-photo decoding off the window's thread: one at a time; a result for a photo no
    // longer shown is dropped.
    QThreadPool m_decoder;
    quint64 m_ticket = 0;
    bool m_decoding = false;
    bool m_wholeFailed = false;
};

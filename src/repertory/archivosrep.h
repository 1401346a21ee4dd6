#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <stdexcept>
#include <vector>

// Stored selections: files of symptom keys in the folder Repertorio of the working folder, and
// the patient file that the companion application writes beside it.
namespace repertorio {

// A file or folder that cannot be made, read or written. The message names it and gives the
// system's reason; it is what the user reads in the error box.
class ErrorArchivo : public std::runtime_error
{
public:
    explicit ErrorArchivo(const QString &mensaje)
        : std::runtime_error(mensaje.toStdString()), m_mensaje(mensaje)
    {
    }
    const QString &mensaje() const { return m_mensaje; }

private:
    QString m_mensaje;
};

// Relative to the working folder, with the platform's separator.
QString carpetaRepertorio();                   // Repertorio
QString rutaRepertorio(const QString &nombre); // Repertorio/<nombre>.Dat
QString rutaPaciente(int numero);              // Repertorio/{<numero>}.Dat
QString rutaArchivoPaciente();                 // ../Dorvek/Usuario.$$$

// The file's bytes: each key a signed 32-bit little-endian integer, nothing else.
QByteArray codificarClaves(const std::vector<qint32> &claves);
// Whole 4-byte records only; 1 to 3 bytes left over at the end are ignored.
std::vector<qint32> decodificarClaves(const QByteArray &bytes);

// Writes the keys to `ruta`, making its folder when missing. The old file is replaced only once
// the new one is complete, so a save that fails leaves what was stored before.
void guardarClaves(const QString &ruta, const std::vector<qint32> &claves);

// What could be read of a file. `error` is empty when the whole file was read; otherwise it
// says why reading stopped, and `claves` holds the whole records read before that.
struct LecturaClaves
{
    std::vector<qint32> claves;
    QString error;
};
LecturaClaves leerClaves(const QString &ruta);

// The keys that go into the selection, in the file's order: those of symptoms that no longer
// exist are dropped; a key met a second time stops the loading there, since the application
// never writes one and the rest of such a file cannot be trusted.
struct ClavesACargar
{
    std::vector<qint32> claves;
    std::optional<qint32> repetida;
};
ClavesACargar clavesACargar(const std::vector<qint32> &leidas, const std::function<bool(qint32)> &existe);

// The names stored in `carpeta` (made when missing), as the chooser lists them: entries whose
// name ends in ".dat" in any mix of cases, folders included, without the extension; names
// beginning with "{" belong to patients and are left out. Sorted as the list sorts them.
QStringList listarArchivos(const QString &carpeta);
// The list's order: letters without regard to case or accents, then case, then code points.
bool antesEnLista(const QString &a, const QString &b);

// Why a name typed for saving cannot be used, or an empty text when it can: it must not be
// empty, reach outside the folder, hold control characters or take a patient's name.
QString motivoNombreRechazado(const QString &nombre);

// The patient open in the companion application.
struct Paciente
{
    int numero = 0;
    QString nombre;
};
// Windows-1252 text, lines ended by CR LF, CR or LF: the number on the first line, the name on
// the second; nothing when either is missing or the first is not a number.
std::optional<Paciente> interpretarPaciente(const QByteArray &contenido);
// Nothing when the file does not exist or cannot be understood; ErrorArchivo when it exists
// but cannot be read.
std::optional<Paciente> leerPaciente(const QString &ruta);

QString desdeWindows1252(const QByteArray &bytes);

} // namespace repertorio

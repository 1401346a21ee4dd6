#pragma once

#include <QString>

// Hands a document to the desktop's "open" action, as a double click in the file manager
// would, and does not wait for the viewer. A relative target is found in the working folder.
// False for an empty target; a missing file, or a desktop that cannot open it, raises
// store::Error with the reason in Spanish.
bool AbrirDocumento(const QString &target);

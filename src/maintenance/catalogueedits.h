#pragma once

class Catalogue;

// The changes of the catalogue that touch more than one row: a flower or a symptom goes with
// every link it has, and the selection is linked to a flower in one batch.
namespace maintenance {

// Deletes the current flower and all its links, in one transaction: a store error deletes
// nothing. A flower still being inserted is abandoned instead. An empty list fails with the
// store's message and changes nothing. The working tables keep the flower's key.
void deleteFlowerWithLinks(Catalogue &catalogue);
// Deletes the current symptom and all its links, in one transaction; the selection keeps its
// key.
void deleteSymptomWithLinks(Catalogue &catalogue);

// Links every selected symptom to the current flower, in the selection's order, each link
// carrying the symptom's `Orden`, all in one transaction. A symptom linked already is skipped,
// and so is a link the store refuses. A selected symptom that no longer exists, or has no
// `Orden`, stops the batch there with the message "'' is not a valid integer value": the links
// before it are kept.
void linkSelectionToFlower(Catalogue &catalogue);

} // namespace maintenance

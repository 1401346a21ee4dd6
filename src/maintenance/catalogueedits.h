#pragma once

class Catalogue;

// The changes of the catalogue that touch more than one row: a flower or a symptom goes with
// every link it has, and the selection is linked to a flower in one batch.
namespace maintenance {

// Deletes the current flower and all its links; a flower still being inserted is abandoned
// instead. An empty list fails with the store's message and changes nothing.
void deleteFlowerWithLinks(Catalogue &catalogue);
// Deletes the current symptom and all its links; the selection keeps its key.
void deleteSymptomWithLinks(Catalogue &catalogue);

// Links every selected symptom to the current flower, in the selection's order, each link
// carrying the symptom's `Orden`. A symptom linked already is skipped. A selected symptom
// that no longer exists, or has no `Orden`, stops the batch there with the message
// "'' is not a valid integer value": the links before it are kept.
void linkSelectionToFlower(Catalogue &catalogue);

} // namespace maintenance

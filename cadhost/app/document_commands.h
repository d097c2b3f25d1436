#pragma once
// OPEN, NEW, SAVE, SAVEAS, CLOSE, QUIT, MSPACE and PSPACE.

#include <functional>
#include <optional>
#include <string>

class AcApDocument;

namespace cadhost::app {

class Interpreter;

// Saves a document; with askName (or when it has no file of its own, or is read-only) the
// file name is asked first. False when it was not saved.
bool saveDocument(AcApDocument& document, bool askName);

// A file dialog of the program: nullopt when cancelled. It throws std::runtime_error with
// the reason when no dialog can be shown.
using FileDialog = std::function<std::optional<std::string>(bool save, const std::string& title,
                                                            const std::string& initial)>;
// With FILEDIA 1, OPEN and SAVEAS use this dialog outside scripts.
void setFileDialog(FileDialog dialog);

// Closes every open drawing without asking, saying which had unsaved changes.
void closeAllDocuments();

// The recovery copy of a drawing: its native file with ".sv$" added.
std::string recoveryCopyName(const std::string& hostPath);
// Writes each drawing with unsaved changes beside itself as its recovery copy (one never
// saved in the current folder), atomically as a save is, never over the drawing. For the end
// of the program: the drawings are saved to their copies now. Returns a line for each: where
// it went, or why it could not be written.
std::string writeRecoveryCopies();

void addDocumentCommands(Interpreter& interpreter);

}  // namespace cadhost::app

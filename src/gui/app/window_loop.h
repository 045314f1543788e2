// Running the main window for the program's life without making it modal.
#pragma once

class QDialog;

namespace pelldra {

// Shows the dialog and runs the event loop until it is done (accepted, rejected or ended with a code); returns that
// result. Hiding it (the boss key) does not end the loop, as QDialog::exec would, and neither does closing another
// window while it is hidden.
int RunUntilDone(QDialog& dialog);

} // namespace pelldra

// What holds for the whole of Kestrin's process, set once the application object exists.
#pragma once

namespace tarnell {

// Names the program for its user profile and keeps numbers in the C format. The application
// object takes the desktop's locale for everything, numbers included; a desktop that writes
// decimal commas would then have the shared readers and writers write "0,370" into the
// structure file and the settings, and read "0.370" back as 0.
void setUpApplication();

}  // namespace tarnell

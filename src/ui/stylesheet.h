#pragma once

// The application-wide style sheet (":/resources/style.qss") that the overlay
// and every dialog install.
namespace StyleSheet {

// Installs the sheet for the whole application; a missing resource leaves
// the current sheet as it is.
void installApplicationSheet();

} // namespace StyleSheet

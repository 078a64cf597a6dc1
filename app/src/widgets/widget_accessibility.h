#pragma once

// Lets screen readers read the custom-painted widgets: the toggle switch as a
// check box, the screen selector as a list of screens, the dial as a progress
// bar telling the time left, and the history strip as a list of pictures.
// Installed once, before the first window is shown; later calls do nothing.
void installWidgetAccessibility();

#pragma once

#include <QWidget>

namespace demo {

// A window of the host's own, the way a host embeds the carousel: its header and texts
// around a carousel from Orvane::orvaneCarouselView(), which the frame owns. The frame
// has no parent; whoever shows it deletes it.
QWidget* makeCarouselFrame();

}  // namespace demo

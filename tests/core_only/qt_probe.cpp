// Must not compile: the core has no Qt include path.
#include <QObject>

int orvaneQtProbe() { return 0; }

#include "settings/MaximisedWatch.h"

bool MaximisedWatch::Begin(bool applied, bool maximised) {
    m_watching = applied && maximised;
    return m_watching;
}

bool MaximisedWatch::End() {
    const bool ended = m_watching;
    m_watching = false;
    return ended;
}

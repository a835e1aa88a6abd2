#include "platform/gfx/frame_pacer.h"

void ClFramePacer::configure(bool vsyncWanted, bool swapWaits, u32 refreshHz) {
    m_vsyncWanted = vsyncWanted;
    m_swapWaits = vsyncWanted && swapWaits;
    m_period = 1000000000ull / (refreshHz ? refreshHz : 60);
    m_haveDeadline = false;
    m_havePresent = false;
    m_fastPresents = 0;
}

u64 ClFramePacer::beforePresent(u64 now) {
    if (!pacing()) return now;
    if (!m_haveDeadline || now > m_deadline + m_period) {
        m_deadline = now;
        m_haveDeadline = true;
    }
    const u64 presentAt = m_deadline > now ? m_deadline : now;
    m_deadline += m_period;
    return presentAt;
}

void ClFramePacer::afterPresent(u64 now) {
    if (m_swapWaits) {
        if (m_havePresent && now - m_lastPresent < m_period * 9 / 10) {
            if (++m_fastPresents >= FRAME_PACER_FAST_PRESENTS) {
                m_swapWaits = false;
                m_haveDeadline = false;
            }
        } else {
            m_fastPresents = 0;
        }
    }
    m_lastPresent = now;
    m_havePresent = true;
}

#include "messageassembler.h"

MessageAssembler::MessageAssembler(int maxBytes)
    : m_maxBytes(maxBytes)
{
}

bool MessageAssembler::append(const char *data, int size)
{
    if (m_oversized)
        return false;
    if (size <= 0)
        return true;
    if (size > m_maxBytes - m_bytes.size()) {
        m_oversized = true;
        m_bytes.clear();
        m_bytes.squeeze();
        return false;
    }
    m_bytes.append(data, size);
    return true;
}

QString MessageAssembler::message() const
{
    return m_oversized ? QString() : QString::fromUtf8(m_bytes);
}

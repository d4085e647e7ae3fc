// The replaceable backend of a platform service (the file dialog, the message
// box): Qt's own unless a test has put in its own.
#pragma once

#include <memory>
#include <utility>

namespace syj {

template <class Backend, class QtBackend> class BackendSlot
{
public:
    Backend &get()
    {
        if (!m_backend)
            m_backend = std::make_unique<QtBackend>();
        return *m_backend;
    }

    // Puts in `backend` (nullptr: Qt's again) and returns the one that was in use.
    std::unique_ptr<Backend> replace(std::unique_ptr<Backend> backend)
    {
        std::swap(m_backend, backend);
        return backend;
    }

private:
    std::unique_ptr<Backend> m_backend;
};

} // namespace syj

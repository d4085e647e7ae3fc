// Control arrays: widgets that share a name and differ by an index.
//
// Element 0 is the template, laid out with the window. load(i) creates element
// i as a hidden copy of element 0 in the same container (place, size, font,
// palette, alignment, caption or text, and the rest that matters for the
// widget's kind); unload(i) deletes it. Indexes run from 0 to 32767.
#pragma once

#include "platform/twips.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <vector>

namespace syj {

inline constexpr int kMaxControlIndex = 32767;

// Every loaded element carries its index under this property name.
inline constexpr char kControlIndexProperty[] = "controlIndex";

// The index of a control-array element, or -1 for any other widget.
int controlIndex(const QObject *w);

// The properties a copy takes over from its template, by kind of widget.
void copyWidgetProperties(const QWidget &from, QWidget &to);
void copyWidgetProperties(const QLabel &from, QLabel &to);
void copyWidgetProperties(const QLineEdit &from, QLineEdit &to);
void copyWidgetProperties(const QAbstractButton &from, QAbstractButton &to);

template <class W> class ControlArray
{
public:
    ControlArray() = default;
    ControlArray(const ControlArray &) = delete;
    ControlArray &operator=(const ControlArray &) = delete;

    // Makes `templ` element 0.
    void setTemplate(W *templ)
    {
        m_items.assign(1, templ);
        m_count = 1;
        templ->setProperty(kControlIndexProperty, 0);
    }

    // Creates element i as a hidden copy of element 0. Returns nullptr when i is
    // out of range or already loaded.
    W *load(int i)
    {
        if (i <= 0 || i > kMaxControlIndex || exists(i) || m_items.empty() || !m_items[0])
            return nullptr;
        W *templ = m_items[0];
        auto *w = new W(templ->parentWidget());
        w->hide();
        copyWidgetProperties(*templ, *w);
        w->setProperty(kControlIndexProperty, i);
        if (static_cast<size_t>(i) >= m_items.size())
            m_items.resize(static_cast<size_t>(i) + 1);
        m_items[static_cast<size_t>(i)] = w;
        ++m_count;
        return w;
    }

    // Deletes element i (never the template).
    void unload(int i)
    {
        if (i <= 0 || !exists(i))
            return;
        W *w = m_items[static_cast<size_t>(i)];
        m_items[static_cast<size_t>(i)] = nullptr;
        --m_count;
        delete w;
        while (m_items.size() > 1 && !m_items.back())
            m_items.pop_back();
    }

    bool exists(int i) const
    {
        return i >= 0 && static_cast<size_t>(i) < m_items.size() && m_items[static_cast<size_t>(i)];
    }

    W *operator()(int i) const
    {
        return exists(i) ? m_items[static_cast<size_t>(i)].data() : nullptr;
    }

    // Number of loaded elements, the template included.
    int count() const { return m_count; }
    // One past the largest loaded index.
    int upperBound() const { return static_cast<int>(m_items.size()); }

private:
    std::vector<QPointer<W>> m_items;
    int m_count = 0;
};

} // namespace syj

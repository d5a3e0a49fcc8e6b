// The intrusive tree (coTree) and the element operations of enXml that need no
// file: child list, lookups by name, attributes.
#include "xml/enxml.h"

void* enXml::operator new(std::size_t size) {
    return mdxml::TreeMemory()->allocate(size, alignof(enXml));
}

void enXml::operator delete(void* node, std::size_t size) noexcept {
    mdxml::TreeMemory()->deallocate(node, size, alignof(enXml));
}

// Removes `child` from this node's list and clears its next pointer; false when
// it is not in the list.
bool coTree::UnlinkChild(coTree* child) {
    coTree* previous = nullptr;
    for (coTree* node = m_pFirstChild; node; node = node->m_pNextSibling) {
        if (node == child) {
            if (previous)
                previous->m_pNextSibling = child->m_pNextSibling;
            else
                m_pFirstChild = child->m_pNextSibling;
            if (m_pLastChild == child)
                m_pLastChild = previous;
            child->m_pNextSibling = nullptr;
            return true;
        }
        previous = node;
    }
    return false;
}

coTree::~coTree() {
    if (m_pParent) {
        coTree* parent = m_pParent;
        parent->UnlinkChild(this);
        m_pParent = nullptr;
    }
    // Children are destroyed in list order. A child's own children are first moved
    // to the front of this list, so that a deep tree is destroyed without recursion
    // (every destructor called below finds a node without parent or children).
    while (coTree* child = m_pFirstChild) {
        if (child->m_pFirstChild) {
            for (coTree* grandchild = child->m_pFirstChild; grandchild; grandchild = grandchild->m_pNextSibling)
                grandchild->m_pParent = nullptr;
            child->m_pLastChild->m_pNextSibling = child->m_pNextSibling;
            m_pFirstChild = child->m_pFirstChild;
            if (m_pLastChild == child)
                m_pLastChild = child->m_pLastChild;
            child->m_pFirstChild = nullptr;
            child->m_pLastChild = nullptr;
        } else {
            m_pFirstChild = child->m_pNextSibling;
        }
        child->m_pParent = nullptr;
        child->m_pNextSibling = nullptr;
        delete child;
    }
    m_pLastChild = nullptr;
}

enXml::~enXml() = default;

int enXml::GetChildCount() const {
    int count = 0;
    for (const coTree* node = m_pFirstChild; node; node = node->m_pNextSibling)
        ++count;
    return count;
}

void enXml::AddChild(enXml* child, enXml* after) {
    if (!child)
        return;
    // Linking a node below itself would make a cycle that no walk ever leaves.
    // Only a node with children can be an ancestor of this one.
    if (child == this)
        return;
    if (child->m_pFirstChild) {
        for (const enXml* node = m_pParent; node; node = node->m_pParent) {
            if (node == child)
                return;
        }
    }
    if (child->m_pParent)
        child->m_pParent->RemoveChild(child);
    child->m_pParent = this;
    if (!m_pFirstChild) {
        m_pFirstChild = child;
        m_pLastChild = child;
        return;
    }
    // A node's parent pointer tells whether it is in this list (the list and the
    // parent pointers are only ever changed together). The child itself, just
    // taken out, is no longer among the children.
    if (after && after != child && after->m_pParent == this) {
        child->m_pNextSibling = after->m_pNextSibling;
        after->m_pNextSibling = child;
        if (m_pLastChild == after)
            m_pLastChild = child;
        return;
    }
    m_pLastChild->m_pNextSibling = child;
    m_pLastChild = child;
}

void enXml::RemoveChild(enXml* child) {
    if (!child || child->m_pParent != this)
        return;
    if (UnlinkChild(child))
        child->m_pParent = nullptr;
}

enXml* enXml::FindChild(std::wstring_view name) const {
    for (enXml* node = FirstChild(); node; node = node->NextSibling()) {
        if (mdxml::NameEquals(node->m_name, name))
            return node;
    }
    return nullptr;
}

const enXmlAttribute* enXml::FindAttribute(std::wstring_view name) const {
    for (const enXmlAttribute& attribute : m_attributes) {
        if (mdxml::NameEquals(attribute.first, name))
            return &attribute;
    }
    return nullptr;
}

enXmlAttribute* enXml::FindAttribute(std::wstring_view name) {
    return const_cast<enXmlAttribute*>(static_cast<const enXml*>(this)->FindAttribute(name));
}

bool enXml::GetAttribute(std::wstring_view name, std::wstring& out) const {
    const enXmlAttribute* attribute = FindAttribute(name);
    if (!attribute)
        return false;
    out.assign(attribute->second);
    return true;
}

bool enXml::GetAttributeInt(std::wstring_view name, std::int32_t& out) const {
    const enXmlAttribute* attribute = FindAttribute(name);
    if (!attribute)
        return false;
    out = mdxml::ParseInt(attribute->second);
    return true;
}

bool enXml::GetAttributeFloat(std::wstring_view name, float& out) const {
    const enXmlAttribute* attribute = FindAttribute(name);
    if (!attribute)
        return false;
    out = mdxml::ParseFloat(attribute->second);
    return true;
}

void enXml::SetAttribute(std::wstring_view name, std::wstring_view value) {
    if (enXmlAttribute* attribute = FindAttribute(name)) {
        attribute->second.assign(value);
        return;
    }
    AppendAttribute(name, value);
}

void enXml::AppendAttribute(std::wstring_view name, std::wstring_view value) {
    m_attributes.emplace_back(name, value);
}

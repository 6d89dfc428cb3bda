#pragma once
// Thin typed handles over nodes of a pugixml document.
//
// A handle holds no data of its own: every read and write goes to the
// document. As with the usual XML data-binding libraries, a child element or
// attribute that is looked up by name and does not exist is created empty on
// the spot, also by a read, so the next save writes it.

#include <pugixml.hpp>

#include <cstdint>
#include <stdexcept>
#include <string>

// Raised when an attribute that must hold an integer is missing, empty or not
// a decimal 32-bit integer. The message names the element and the attribute.
class EXMLConversionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Counts the changes that an index over the documents depends on: items
// added to or removed from a list through TXMLNodeCollection, a key an index
// looks items up by (a national team's number) rewritten through its binding,
// and a document opened or closed. An index remembers the revision it was
// built at and is rebuilt once the revision moves on.
class TXMLLayout {
public:
    static uint64_t Revision() { return revision_; }
    static void Changed() { ++revision_; }

private:
    static inline uint64_t revision_ = 0;
};

// Converts decimal text to a 32-bit signed integer; throws EXMLConversionError
// naming the element and attribute when the text is not one.
int32_t ParseInt32(const char* text, const char* element, const char* attribute);

class TXMLNode {
public:
    TXMLNode() = default;
    explicit TXMLNode(pugi::xml_node node) : node_(node) {}

    pugi::xml_node DOMNode() const { return node_; }
    explicit operator bool() const { return static_cast<bool>(node_); }
    friend bool operator==(const TXMLNode& a, const TXMLNode& b) { return a.node_ == b.node_; }

protected:
    pugi::xml_node ChildElement(const char* name) const;
    pugi::xml_attribute Attribute(const char* name) const;
    // Whether the attribute exists; unlike the reads below, creates nothing.
    bool HasAttribute(const char* name) const { return static_cast<bool>(node_.attribute(name)); }

    std::string ChildText(const char* name) const;
    void SetChildText(const char* name, const std::string& value) const;
    int32_t IntAttribute(const char* name) const;
    void SetIntAttribute(const char* name, int32_t value) const;
    std::string TextAttribute(const char* name) const;
    void SetTextAttribute(const char* name, const std::string& value) const;

private:
    pugi::xml_node node_;
};

// A list element whose items are the child elements named ItemTag, each bound
// to the handle class Item.
template <typename Item, const char* ItemTag> class TXMLNodeCollection : public TXMLNode {
public:
    using TXMLNode::TXMLNode;

    int Count() const {
        int count = 0;
        for (pugi::xml_node child = DOMNode().child(ItemTag); child;
             child = child.next_sibling(ItemTag))
            ++count;
        return count;
    }

    // The item at index, from 0; throws std::out_of_range past the end.
    Item Get(int index) const { return Item(ItemNode(index)); }
    Item operator[](int index) const { return Get(index); }

    // Appends a new empty item element.
    Item Add() const {
        TXMLLayout::Changed();
        return Item(DOMNode().append_child(ItemTag));
    }

    // Inserts a new empty item element so that it becomes the item at index.
    Item Insert(int index) const {
        if (index == Count())
            return Add();
        TXMLLayout::Changed();
        return Item(DOMNode().insert_child_before(ItemTag, ItemNode(index)));
    }

    void Delete(int index) const {
        TXMLLayout::Changed();
        DOMNode().remove_child(ItemNode(index));
    }
    void Remove(const Item& item) const {
        TXMLLayout::Changed();
        DOMNode().remove_child(item.DOMNode());
    }
    void Clear() const {
        TXMLLayout::Changed();
        while (pugi::xml_node child = DOMNode().child(ItemTag))
            DOMNode().remove_child(child);
    }

private:
    pugi::xml_node ItemNode(int index) const {
        if (index >= 0) {
            int i = 0;
            for (pugi::xml_node child = DOMNode().child(ItemTag); child;
                 child = child.next_sibling(ItemTag), ++i)
                if (i == index)
                    return child;
        }
        throw std::out_of_range(std::string("List index out of bounds (") + std::to_string(index) +
                                ") in <" + DOMNode().name() + ">");
    }
};

// The root element of a document, created with the given name when the
// document is empty. Throws when the root has another name.
pugi::xml_node DocumentRoot(pugi::xml_document& document, const char* rootName);

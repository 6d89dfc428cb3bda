#include "xml_binding.h"

#include <cerrno>
#include <cstdlib>
#include <limits>

int32_t ParseInt32(const char* text, const char* element, const char* attribute) {
    auto fail = [&]() -> int32_t {
        throw EXMLConversionError(std::string("'") + text + "' não é um valor inteiro válido (" +
                                  element + "." + attribute + ")");
    };
    const char* p = text;
    if (*p == '+' || *p == '-')
        ++p;
    if (*p < '0' || *p > '9')
        return fail();
    errno = 0;
    char* end = nullptr;
    long long value = std::strtoll(text, &end, 10);
    if (*end != '\0' || errno == ERANGE || value < std::numeric_limits<int32_t>::min() ||
        value > std::numeric_limits<int32_t>::max())
        return fail();
    return static_cast<int32_t>(value);
}

pugi::xml_node TXMLNode::ChildElement(const char* name) const {
    pugi::xml_node child = node_.child(name);
    return child ? child : pugi::xml_node(node_).append_child(name);
}

pugi::xml_attribute TXMLNode::Attribute(const char* name) const {
    pugi::xml_attribute attribute = node_.attribute(name);
    return attribute ? attribute : pugi::xml_node(node_).append_attribute(name);
}

std::string TXMLNode::ChildText(const char* name) const {
    return ChildElement(name).text().get();
}

void TXMLNode::SetChildText(const char* name, const std::string& value) const {
    pugi::xml_node child = ChildElement(name);
    while (child.first_child())
        child.remove_child(child.first_child());
    if (!value.empty())
        child.text().set(value.c_str());
}

int32_t TXMLNode::IntAttribute(const char* name) const {
    return ParseInt32(Attribute(name).value(), node_.name(), name);
}

void TXMLNode::SetIntAttribute(const char* name, int32_t value) const {
    Attribute(name).set_value(std::to_string(value).c_str());
}

std::string TXMLNode::TextAttribute(const char* name) const {
    return Attribute(name).value();
}

void TXMLNode::SetTextAttribute(const char* name, const std::string& value) const {
    Attribute(name).set_value(value.c_str());
}

pugi::xml_node DocumentRoot(pugi::xml_document& document, const char* rootName) {
    pugi::xml_node root = document.document_element();
    if (!root)
        return document.append_child(rootName);
    if (std::string(root.name()) != rootName)
        throw std::runtime_error(std::string("Elemento raiz <") + root.name() +
                                 "> encontrado, esperado <" + rootName + ">");
    return root;
}

#pragma once
// Benchmarks of saving change a score before each save, so that every save
// writes a changed file, as a score entry does.

#include <pugixml.hpp>

#include <stdexcept>

// The first score of a match document, set to another value by each Change.
class TChangingScore {
public:
    explicit TChangingScore(pugi::xml_document& document)
        : quant_(document.find_node([](pugi::xml_node node) { return node.attribute("Quant"); })
                     .attribute("Quant")) {
        if (!quant_)
            throw std::runtime_error("no score in the match file");
    }
    void Change() { quant_.set_value(++value_ % 10); }

private:
    pugi::xml_attribute quant_;
    int value_ = 0;
};

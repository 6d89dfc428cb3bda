#pragma once
// Typed view of the national-team file (dados/selecoes.xml).

#include "xml_binding.h"

namespace torvel_db_selecoes {

inline constexpr char TagSelecao[] = "Selecao";
inline constexpr char TagJogador[] = "Jogador";

// One squad member: shirt number and name.
class TXMLJogadorType : public TXMLNode {
public:
    using TXMLNode::TXMLNode;
    int32_t No() const { return IntAttribute("No"); }
    void SetNo(int32_t value) const { SetIntAttribute("No", value); }
    std::string Nome() const { return ChildText("Nome"); }
    void SetNome(const std::string& value) const { SetChildText("Nome", value); }
};

// The squad of a national team.
using TXMLConvocadosType = TXMLNodeCollection<TXMLJogadorType, TagJogador>;

// One national team.
class TXMLSelecaoType : public TXMLNode {
public:
    using TXMLNode::TXMLNode;
    // The team's number, by which matches name it (IndexOfTeam).
    int32_t No() const { return IntAttribute("No"); }
    void SetNo(int32_t value) const {
        TXMLLayout::Changed();
        SetIntAttribute("No", value);
    }
    std::string Nome() const { return ChildText("Nome"); }
    void SetNome(const std::string& value) const { SetChildText("Nome", value); }
    // First character: the group letter; any further characters: the rank a
    // drawing of lots gave the team within a tie of its group.
    std::string Grupo() const { return ChildText("Grupo"); }
    void SetGrupo(const std::string& value) const { SetChildText("Grupo", value); }
    std::string Bandeira() const { return ChildText("Bandeira"); }
    void SetBandeira(const std::string& value) const { SetChildText("Bandeira", value); }
    TXMLConvocadosType Convocados() const { return TXMLConvocadosType(ChildElement("Convocados")); }
};

// The root: every national team, in team-index order.
using TXMLSelecoesType = TXMLNodeCollection<TXMLSelecaoType, TagSelecao>;

using IXMLJogadorType = TXMLJogadorType;
using IXMLConvocadosType = TXMLConvocadosType;
using IXMLSelecaoType = TXMLSelecaoType;
using IXMLSelecoesType = TXMLSelecoesType;

// The root element "Selecoes" of the document (created in an empty document).
inline IXMLSelecoesType GetSelecoes(pugi::xml_document& document) {
    return TXMLSelecoesType(DocumentRoot(document, "Selecoes"));
}

} // namespace torvel_db_selecoes

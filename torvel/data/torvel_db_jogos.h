#pragma once
// Typed view of the match file (dados/jogos.xml).

#include "xml_binding.h"

namespace torvel_db_jogos {

inline constexpr char TagJogo[] = "jogo";
inline constexpr char TagEquipe[] = "equipe";
inline constexpr char TagJogador[] = "jogador";

// A participant of one side of a match: shirt number and goals (-1: none entered).
class TXMLJogadorType : public TXMLNode {
public:
    using TXMLNode::TXMLNode;
    int32_t No() const { return IntAttribute("No"); }
    void SetNo(int32_t value) const { SetIntAttribute("No", value); }
    int32_t Gols() const { return IntAttribute("Gols"); }
    void SetGols(int32_t value) const { SetIntAttribute("Gols", value); }
};

using TXMLArtilheirosType = TXMLNodeCollection<TXMLJogadorType, TagJogador>;

// The goals of one side; Quant -1 means no result.
class TXMLGolsType : public TXMLNode {
public:
    using TXMLNode::TXMLNode;
    int32_t Quant() const { return IntAttribute("Quant"); }
    void SetQuant(int32_t value) const { SetIntAttribute("Quant", value); }
};

// One side of a match.
class TXMLEquipeType : public TXMLNode {
public:
    using TXMLNode::TXMLNode;
    int32_t No() const { return IntAttribute("No"); }
    void SetNo(int32_t value) const { SetIntAttribute("No", value); }
    int32_t Ident() const { return IntAttribute("Ident"); }
    void SetIdent(int32_t value) const { SetIntAttribute("Ident", value); }
    int32_t Pos() const { return IntAttribute("Pos"); }
    void SetPos(int32_t value) const { SetIntAttribute("Pos", value); }
    std::string Grupo() const { return TextAttribute("Grupo"); }
    void SetGrupo(const std::string& value) const { SetTextAttribute("Grupo", value); }
    // Knockout match: the numbers of the two teams the side's result and
    // participants were entered for, side 0 first ("101 106"). A file written
    // before results were tied to their teams has none.
    bool HasConfronto() const { return HasAttribute("Confronto"); }
    std::string Confronto() const { return TextAttribute("Confronto"); }
    void SetConfronto(const std::string& value) const { SetTextAttribute("Confronto", value); }
    TXMLGolsType gols() const { return TXMLGolsType(ChildElement("gols")); }
    TXMLArtilheirosType artilheiros() const {
        return TXMLArtilheirosType(ChildElement("artilheiros"));
    }
};

using TXMLEquipesType = TXMLNodeCollection<TXMLEquipeType, TagEquipe>;

// One match.
class TXMLJogoType : public TXMLNode {
public:
    using TXMLNode::TXMLNode;
    int32_t No() const { return IntAttribute("No"); }
    void SetNo(int32_t value) const { SetIntAttribute("No", value); }
    // Date as YYYYMMDD.
    std::string data() const { return ChildText("data"); }
    void Setdata(const std::string& value) const { SetChildText("data", value); }
    // Kick-off as HHMM, Brasília time.
    std::string hora() const { return ChildText("hora"); }
    void Sethora(const std::string& value) const { SetChildText("hora", value); }
    std::string estadio() const { return ChildText("estadio"); }
    void Setestadio(const std::string& value) const { SetChildText("estadio", value); }
    TXMLEquipesType equipes() const { return TXMLEquipesType(ChildElement("equipes")); }
};

// The root: every match, in match-index order.
using TXMLJogosType = TXMLNodeCollection<TXMLJogoType, TagJogo>;

using IXMLJogadorType = TXMLJogadorType;
using IXMLArtilheirosType = TXMLArtilheirosType;
using IXMLGolsType = TXMLGolsType;
using IXMLEquipeType = TXMLEquipeType;
using IXMLEquipesType = TXMLEquipesType;
using IXMLJogoType = TXMLJogoType;
using IXMLJogosType = TXMLJogosType;

// The root element "jogos" of the document (created in an empty document).
inline IXMLJogosType Getjogos(pugi::xml_document& document) {
    return TXMLJogosType(DocumentRoot(document, "jogos"));
}

} // namespace torvel_db_jogos

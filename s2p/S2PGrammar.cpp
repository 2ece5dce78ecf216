#include "S2PGrammarDef.h"

template struct s2p_grammar<const char*>;

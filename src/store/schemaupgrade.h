#pragma once

#include <QString>

class Engine;

// Brings an archive made by an earlier version up to the schema this program
// writes, once, when it is opened. What is added is the marked part of the
// schema script itself, so new and upgraded archives cannot differ.
namespace SchemaUpgrade {

void apply(Engine &engine);
// The one question apply() asks of an archive (a server opening sends it with its own).
QString question(bool server);
// Whether a schema object ("table sumkh", "trigger ...", "column sumkh.cs")
// is one an older archive may lack because opening it adds it.
bool addedOnOpen(const QString &object);

} // namespace SchemaUpgrade

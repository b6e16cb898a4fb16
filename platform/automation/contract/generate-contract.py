#!/usr/bin/env python3
"""Generates the code of both ends of the D-Bus contract from the interface file.

  generate-contract.py <TavrinEXE.xml> <output folder>

Writes, each only when its text changes (so an unchanged contract rebuilds nothing):
  TavrinEXENames.h          the service, object paths and interface names
  TavrinEXEIntrospection.h  each interface's introspection text, as the served classes carry it
  TavrinXAdaptor.h/.cpp     sorvik's engine object: properties and engine methods relayed to the
                            engine, the engine's events raised on the bus
  TavrinXProxy.h/.cpp       the client's proxy of an engine object and its event sink

qdbusxml2cpp's adaptor reads properties through its parent's QObject properties and its
interface class blocks without serving the caller's event loop; neither fits the typed
relays below, the per-connection dispatcher or the calls that keep serving events.
"""

import os
import sys
import xml.etree.ElementTree as ET

PREFIX = "TavrinEXE."
ROLES = {
    "ClassFactory": "FACTORY",
    "_TavrinX": "ENGINE",
    "__TavrinX": "EVENTS",
    "Collection": "COLLECTION",
}
HEADER = "// Generated from TavrinEXE.xml by generate-contract.py; do not edit.\n"


class Member:
    def __init__(self, element):
        self.name = element.get("name")
        self.dispid = None
        for a in element.findall("annotation"):
            if a.get("name") == "TavrinEXE.DispId":
                self.dispid = a.get("value")
        self.type = element.get("type")
        self.writable = element.get("access") == "readwrite"
        self.args_in = [(a.get("type"), a.get("name")) for a in element.findall("arg")
                        if a.get("direction", "in") == "in"]
        self.args_out = [(a.get("type"), a.get("name")) for a in element.findall("arg")
                         if a.get("direction") == "out"]

    @property
    def setter(self):
        return "set" + self.name[0].upper() + self.name[1:]


class Interface:
    def __init__(self, element):
        self.name = element.get("name")
        self.short = self.name[len(PREFIX):]
        self.annotations = {a.get("name"): a.get("value") for a in element.findall("annotation")}
        self.properties = [Member(p) for p in element.findall("property")]
        self.methods = [Member(m) for m in element.findall("method")]


# How each D-Bus type is held: on the server's side of the bus, on the client's, and as an
# event argument (events pass their arguments by reference, so a handler may change them).
SERVER_TYPE = {"s": "QString", "n": "short", "i": "int", "u": "uint",
               "o": "QDBusObjectPath", "v": "QDBusVariant"}
CLIENT_TYPE = {"s": "QString", "n": "VBool", "i": "qint32", "u": "quint32",
               "o": "std::shared_ptr<CollectionProxy>", "v": "QVariant"}
EVENT_TYPE = {"s": "QString", "n": "VBool", "i": "qint32", "u": "quint32"}
PASSED_BY_REFERENCE = {"QString", "QDBusObjectPath", "QDBusVariant", "QVariant",
                       "std::shared_ptr<CollectionProxy>"}


def parameter(cpp_type):
    return f"const {cpp_type} &" if cpp_type in PASSED_BY_REFERENCE else f"{cpp_type} "


def c_string(text):
    lines = text.replace("\\", "\\\\").replace('"', '\\"').split("\n")
    return " \\\n  ".join(f'"{line}\\n"' for line in lines)


def write(folder, name, text):
    path = os.path.join(folder, name)
    try:
        with open(path, encoding="utf-8") as f:
            if f.read() == text:
                return
    except FileNotFoundError:
        pass
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


def introspection_blocks(xml_text):
    """Each <interface> element as the file writes it, comments left out."""
    import re
    text = re.sub(r"<!--.*?-->\n?", "", xml_text, flags=re.S)
    blocks = {}
    for m in re.finditer(r'( *)<interface name="([^"]+)">.*?</interface>', text, flags=re.S):
        block = m.group(0)
        block = "\n".join(line for line in block.split("\n") if line.strip())
        blocks[m.group(2)] = block
    return blocks


def names_header(interfaces):
    out = [HEADER, "#pragma once\n",
           "// The names sorvik and its clients meet by on the session bus. Macros, so that class\n"
           "// infos can use them.\n"]
    factory = interfaces["FACTORY"]
    out.append(f'#define TAVRINEXE_SERVICE "{factory.annotations["TavrinEXE.Service"]}"\n')
    for role in ("FACTORY", "COLLECTION"):
        out.append(f'#define TAVRINEXE_{role}_PATH "{interfaces[role].annotations["TavrinEXE.Path"]}"\n')
    for role, interface in interfaces.items():
        out.append(f'#define TAVRINEXE_{role}_INTERFACE "{interface.name}"\n')
    return "".join(out)


def introspection_header(interfaces, blocks):
    out = [HEADER, "#pragma once\n"]
    for interface in interfaces.values():
        macro = "TAVRIN_INTROSPECTION_" + interface.short.replace("_", "u")
        out.append(f"#define {macro} \\\n  {c_string(blocks[interface.name])}\n")
    return "".join(out)


def engine_methods(interface):
    return [m for m in interface.methods if m.dispid]


def adaptor_header(engine, events):
    props = []
    decls = []
    for p in engine.properties:
        t = SERVER_TYPE[p.type]
        line = f"    Q_PROPERTY({t} {p.name} READ {p.name}"
        decls.append(f"    {t} {p.name}() const;\n")
        if p.writable:
            line += f" WRITE {p.setter}"
            decls.append(f"    void {p.setter}({parameter(t)}vNewValue);\n")
        props.append(line + ")\n")
    slots = []
    for m in engine_methods(engine):
        args = ", ".join(f"{parameter(SERVER_TYPE[t])}{n}" for t, n in m.args_in)
        ret = SERVER_TYPE[m.args_out[0][0]] if m.args_out else "void"
        slots.append(f"    {ret} {m.name}({args});\n")
    macro = "TAVRIN_INTROSPECTION_" + engine.short.replace("_", "u")
    return f"""{HEADER}#pragma once

#include "TavrinEXEIntrospection.h"
#include "TavrinEXENames.h"

#include "Collection.h"
#include "ServedObject.h"

#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QVariantList>
#include <memory>

namespace TavrinEXE {{

class TavrinX;

// The members of {engine.name} that are the engine's: each property and method is relayed
// to the engine, and the engine's events ({events.name}) are raised through raise(). How a
// collection or a tagged value crosses the bus, and the server's own members, are the
// derived class's.
class TavrinXAdaptor : public ServedObject {{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", TAVRINEXE_ENGINE_INTERFACE)
    Q_CLASSINFO("D-Bus Introspection", {macro})
{"".join(props)}public:
    TavrinXAdaptor(ObjectRegistry *registry, std::shared_ptr<TavrinX> engine);
    ~TavrinXAdaptor() override;

{"".join(decls)}
public Q_SLOTS:
{"".join(slots)}
protected:
    using CollectionGetter = std::shared_ptr<Collection> (TavrinX::*)() const;
    using CollectionSetter = void (TavrinX::*)(std::shared_ptr<Collection>);
    using VariantSetter = void (TavrinX::*)(const QVariant &);

    // A collection property's value: a path that gives the caller a reference.
    virtual QDBusObjectPath handOut(CollectionGetter getter) const = 0;
    virtual void assign(CollectionSetter setter, const QDBusObjectPath &vNewValue) = 0;
    virtual void assignVariant(VariantSetter setter, const QDBusVariant &vNewValue) = 0;
    // Calls the event on every advised sink, waiting for each handler.
    virtual void raise(const QString &event, const QVariantList &arguments) = 0;

    std::shared_ptr<TavrinX> mEngine;
}};

}} // namespace TavrinEXE
"""


def adaptor_source(engine, events):
    out = [HEADER, '#include "TavrinXAdaptor.h"\n\n#include "TavrinXEngine.h"\n\n',
           "namespace TavrinEXE {\n\n",
           "TavrinXAdaptor::TavrinXAdaptor(ObjectRegistry *registry, std::shared_ptr<TavrinX> engine)\n"
           "    : ServedObject(registry), mEngine(std::move(engine)) {\n"
           "    TavrinX *e = mEngine.get();\n"]
    for m in events.methods:
        params = ", ".join(f"{EVENT_TYPE[t]} &{n}" for t, n in m.args_in)
        values = ", ".join(n for _, n in m.args_in)
        out.append(f"    connect(e, &TavrinX::{m.name}, this, [this]({params}) {{\n"
                   f'        raise(QStringLiteral("{m.name}"), {{{values}}});\n    }});\n')
    out.append("}\n\nTavrinXAdaptor::~TavrinXAdaptor() = default;\n\n")
    for p in engine.properties:
        t = SERVER_TYPE[p.type]
        if p.type == "o":
            get = f"return handOut(&TavrinX::{p.name});"
            put = f"assign(&TavrinX::{p.setter}, vNewValue);"
        elif p.type == "v":
            get = f"return QDBusVariant(mEngine->{p.name}());"
            put = f"assignVariant(&TavrinX::{p.setter}, vNewValue);"
        else:
            get = f"return mEngine->{p.name}();"
            put = f"mEngine->{p.setter}(vNewValue);"
        out.append(f"{t} TavrinXAdaptor::{p.name}() const {{\n    {get}\n}}\n")
        if p.writable:
            out.append(f"void TavrinXAdaptor::{p.setter}({parameter(t)}vNewValue) {{\n"
                       f"    {put}\n}}\n")
    for m in engine_methods(engine):
        args = ", ".join(f"{parameter(SERVER_TYPE[t])}{n}" for t, n in m.args_in)
        values = ", ".join(n for _, n in m.args_in)
        ret = SERVER_TYPE[m.args_out[0][0]] if m.args_out else "void"
        body = f"mEngine->{m.name}({values});"
        out.append(f"{ret} TavrinXAdaptor::{m.name}({args}) {{\n"
                   f"    {'return ' if m.args_out else ''}{body}\n}}\n")
    out.append("\n} // namespace TavrinEXE\n")
    return "".join(out)


def proxy_header(engine, events):
    decls = []
    for p in engine.properties:
        t = CLIENT_TYPE[p.type]
        decls.append(f"    {t} {p.name}() const;\n")
        if p.writable:
            decls.append(f"    void {p.setter}({parameter(t)}vNewValue);\n")
    methods = []
    for m in engine_methods(engine):
        args = ", ".join(f"{parameter(CLIENT_TYPE[t])}{n}" for t, n in m.args_in)
        ret = CLIENT_TYPE[m.args_out[0][0]] if m.args_out else "void"
        methods.append(f"    {ret} {m.name}({args});\n")
    signals = []
    slots = []
    for m in events.methods:
        signals.append(f"    void {m.name}("
                       + ", ".join(f"{EVENT_TYPE[t]} &{n}" for t, n in m.args_in) + ");\n")
        slots.append(f"    void {m.name}("
                     + ", ".join(f"{parameter(SERVER_TYPE[t])}{n}" for t, n in m.args_in)
                     + ");\n")
    return f"""{HEADER}#pragma once

#include "TavrinEXENames.h"

#include "CollectionProxy.h"
#include "EngineConnection.h"
#include "EventSink.h"

#include <QString>
#include <QVariant>
#include <memory>

namespace TavrinEXE {{

// A client's reference to one engine object of sorvik ({engine.name}). Every call is
// synchronous: it waits for the answer while the caller's event loop keeps serving incoming
// events and calls; no call timeout. Failed calls, type mismatches and a server that has gone
// throw PlatformError.
class TavrinXProxy : public EngineConnection {{
    Q_OBJECT
public:
    // Asks the class factory for a new engine object (starting sorvik when needed) and
    // advises a sink for its events. Throws PlatformError.
    explicit TavrinXProxy(QObject *parent = nullptr);

{"".join(methods)}
{"".join(decls)}
Q_SIGNALS:
    // Raised while the engine waits for the handler; a handler may call back into the engine.
{"".join(signals)}}};

// The proxy's end of the engine's events, exported as {events.name}.
class TavrinXEvents : public EventSink {{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", TAVRINEXE_EVENTS_INTERFACE)
public:
    explicit TavrinXEvents(TavrinXProxy *proxy);

public Q_SLOTS:
{"".join(slots)}
private:
    TavrinXProxy *mProxy;
}};

}} // namespace TavrinEXE
"""


def proxy_source(engine, events):
    out = [HEADER, '#include "TavrinXProxy.h"\n\n#include <QDBusObjectPath>\n\n',
           "namespace TavrinEXE {\n\n",
           "TavrinXProxy::TavrinXProxy(QObject *parent) : EngineConnection(parent) {\n"
           "    advise(new TavrinXEvents(this));\n}\n\n"]
    for m in engine_methods(engine):
        args = ", ".join(f"{parameter(CLIENT_TYPE[t])}{n}" for t, n in m.args_in)
        if m.args_in or m.args_out:
            sys.exit(f"{m.name}: engine methods with arguments are not generated yet")
        out.append(f"void TavrinXProxy::{m.name}({args}) {{\n"
                   f'    invoke(QStringLiteral("{m.name}"));\n}}\n')
    for p in engine.properties:
        t = CLIENT_TYPE[p.type]
        name = f'QStringLiteral("{p.name}")'
        get = {"s": f"return readProperty({name}).toString();",
               "n": f"return static_cast<VBool>(readProperty({name}).toInt());",
               "i": f"return readProperty({name}).toInt();",
               "u": f"return readProperty({name}).toUInt();",
               "v": f"return readProperty({name});",
               "o": f"return collection({name});"}[p.type]
        put = {"s": f"writeProperty({name}, vNewValue);",
               "n": f"writeProperty({name}, QVariant::fromValue<short>(vNewValue));",
               "i": f"writeProperty({name}, QVariant::fromValue<qint32>(vNewValue));",
               "u": f"writeProperty({name}, QVariant::fromValue<quint32>(vNewValue));",
               "v": f"writeVariantProperty({name}, vNewValue);",
               "o": f"writeProperty({name}, QVariant::fromValue("
                    f"QDBusObjectPath(vNewValue->objectPath())));"}[p.type]
        out.append(f"{t} TavrinXProxy::{p.name}() const {{\n    {get}\n}}\n")
        if p.writable:
            out.append(f"void TavrinXProxy::{p.setter}({parameter(t)}vNewValue) {{\n"
                       f"    {put}\n}}\n")
    out.append("\nTavrinXEvents::TavrinXEvents(TavrinXProxy *proxy) : EventSink(proxy), "
               "mProxy(proxy) {}\n\n")
    for m in events.methods:
        params = ", ".join(f"{parameter(SERVER_TYPE[t])}{n}" for t, n in m.args_in)
        copies = "".join(f"        {EVENT_TYPE[t]} {n}Copy = {n};\n" for t, n in m.args_in)
        values = ", ".join(f"{n}Copy" for _, n in m.args_in)
        out.append(f"void TavrinXEvents::{m.name}({params}) {{\n"
                   f"    deliver([&] {{\n{copies}"
                   f"        Q_EMIT mProxy->{m.name}({values});\n    }});\n}}\n")
    out.append("\n} // namespace TavrinEXE\n")
    return "".join(out)


def main():
    xml_path, folder = sys.argv[1], sys.argv[2]
    os.makedirs(folder, exist_ok=True)
    with open(xml_path, encoding="utf-8") as f:
        xml_text = f.read()
    root = ET.fromstring(xml_text)
    interfaces = {}
    for element in root.findall("interface"):
        interface = Interface(element)
        interfaces[ROLES[interface.short]] = interface
    engine, events = interfaces["ENGINE"], interfaces["EVENTS"]
    write(folder, "TavrinEXENames.h", names_header(interfaces))
    write(folder, "TavrinEXEIntrospection.h",
          introspection_header(interfaces, introspection_blocks(xml_text)))
    write(folder, "TavrinXAdaptor.h", adaptor_header(engine, events))
    write(folder, "TavrinXAdaptor.cpp", adaptor_source(engine, events))
    write(folder, "TavrinXProxy.h", proxy_header(engine, events))
    write(folder, "TavrinXProxy.cpp", proxy_source(engine, events))


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Signs in to a lobby the way the game does, with nothing but the standard library, and checks
what the game relies on: STARTTLS with the lobby's certificate authority, SASL ANONYMOUS,
TURN credentials by XEP-0215 that the relay takes (an allocation), and two players in the room marevo, one announcing a session in
its presence and the other writing to it privately. Prints each step's stanza as answered, so a
failure shows what the server said; exits 1 on the first step that fails.

    lobby_client.py <server address> <domain> <ca.pem>
"""
import hashlib
import hmac
import os
import socket
import ssl
import struct
import sys
import xml.etree.ElementTree as ET

STREAM = "http://etherx.jabber.org/streams"
CLIENT = "jabber:client"
SASL = "urn:ietf:params:xml:ns:xmpp-sasl"
MUC = "http://jabber.org/protocol/muc"
GAME = "urn:marevo:lobby:0"


def tag(ns, name):
    return "{%s}%s" % (ns, name)


def show(element):
    return ET.tostring(element, encoding="unicode")


class Failed(Exception):
    pass


class Client:
    def __init__(self, address, domain, ca):
        self.domain = domain
        self.sock = socket.create_connection((address, 5222), timeout=10)
        self.ca = ca
        self.pending = []

    def open(self):
        """(Re)starts the stream, as after connecting, TLS and sign-in; returns the features."""
        # Only the stream's children are whole stanzas: depth counts where the parser is.
        self.parser = ET.XMLPullParser(events=("start", "end"))
        self.depth = 0
        self.send("<?xml version='1.0'?><stream:stream to='%s' version='1.0' xml:lang='en' "
                  "xmlns='jabber:client' xmlns:stream='%s'>" % (self.domain, STREAM))
        return self.expect(lambda e: e.tag == tag(STREAM, "features"))

    def send(self, text):
        self.sock.sendall(text.encode())

    def next(self):
        while not self.pending:
            data = self.sock.recv(65536)
            if not data:
                raise Failed("the server closed the connection")
            self.parser.feed(data)
            for event, element in self.parser.read_events():
                if event == "start":
                    self.depth += 1
                else:
                    self.depth -= 1
                    if self.depth == 1:
                        self.pending.append(element)
        return self.pending.pop(0)

    def expect(self, wanted, what=None):
        """The next stanza for which wanted() holds; presences of others on the way are kept."""
        skipped = []
        try:
            while True:
                element = self.next()
                if element.tag == tag(STREAM, "error"):
                    raise Failed("stream error: " + show(element))
                if wanted(element):
                    if what:
                        print("%s: %s" % (what, show(element)))
                    return element
                skipped.append(element)
        finally:
            self.pending[0:0] = skipped

    def starttls(self):
        features = self.open()
        if features.find(tag("urn:ietf:params:xml:ns:xmpp-tls", "starttls")) is None:
            raise Failed("no STARTTLS offered: " + show(features))
        self.send("<starttls xmlns='urn:ietf:params:xml:ns:xmpp-tls'/>")
        self.expect(lambda e: e.tag.endswith("}proceed"))
        context = ssl.create_default_context(cafile=self.ca)
        self.sock = context.wrap_socket(self.sock, server_hostname=self.domain)
        print("TLS: %s, certificate for %s verified with %s"
              % (self.sock.version(), self.domain, self.ca))

    def sign_in(self):
        features = self.open()
        mechanisms = [m.text for m in features.iter(tag(SASL, "mechanism"))]
        print("SASL mechanisms offered: %s" % " ".join(mechanisms))
        if "ANONYMOUS" not in mechanisms:
            raise Failed("no ANONYMOUS sign-in")
        self.send("<auth xmlns='%s' mechanism='ANONYMOUS'/>" % SASL)
        answer = self.expect(lambda e: e.tag in (tag(SASL, "success"), tag(SASL, "failure")))
        if answer.tag != tag(SASL, "success"):
            raise Failed("sign-in refused: " + show(answer))
        self.open()
        self.send("<iq type='set' id='bind'><bind xmlns='urn:ietf:params:xml:ns:xmpp-bind'/></iq>")
        self.jid = self.result("bind", "bound").find(".//{*}jid").text

    def result(self, id, what):
        answer = self.expect(lambda e: e.tag == tag(CLIENT, "iq") and e.get("id") == id, what)
        if answer.get("type") != "result":
            raise Failed("%s failed: %s" % (what, show(answer)))
        return answer

    def turn(self, namespace):
        self.send("<iq type='get' id='%s' to='%s'><services xmlns='%s' type='turn'/></iq>"
                  % (namespace, self.domain, namespace))
        answer = self.expect(lambda e: e.tag == tag(CLIENT, "iq") and e.get("id") == namespace,
                             "XEP-0215 " + namespace)
        return answer.find(".//{%s}service" % namespace) if answer.get("type") == "result" else None

    def join(self, room, nick, announce=""):
        self.send("<presence to='%s/%s'><x xmlns='%s'/>%s</presence>" % (room, nick, MUC, announce))
        # Our own presence, marked 110, ends the room's list of who is there.
        mine = self.expect(lambda e: e.tag == tag(CLIENT, "presence")
                           and e.get("from") == "%s/%s" % (room, nick), "joined as " + nick)
        if mine.get("type") == "error":
            raise Failed("could not join %s: %s" % (room, show(mine)))
        codes = [s.get("code") for s in mine.iter("{%s#user}status" % MUC)]
        if "201" in codes:
            raise Failed("the room did not exist: the first player made it and owns it")
        return mine


def stun_attributes(data):
    attributes, at = {}, 20
    while at + 4 <= len(data):
        kind, length = struct.unpack_from("!HH", data, at)
        attributes[kind] = data[at + 4:at + 4 + length]
        at += 4 + (length + 3) // 4 * 4
    return attributes


def turn_allocate(service):
    """Asks the relay for an allocation with the XMPP server's credentials; returns the relayed
    address. The first request is refused with the realm and nonce the second must carry."""
    cookie = 0x2112A442
    address = (service.get("host"), int(service.get("port")))
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.settimeout(5)

    def attribute(kind, value):
        return struct.pack("!HH", kind, len(value)) + value + b"\0" * (-len(value) % 4)

    def request(attributes, key=None):
        body = attribute(0x0019, b"\x11\0\0\0")  # REQUESTED-TRANSPORT: UDP
        body += b"".join(attribute(k, v) for k, v in attributes)
        head = struct.pack("!HHI", 0x0003, len(body) + (24 if key else 0), cookie) + os.urandom(12)
        if key:
            body += attribute(0x0008, hmac.new(key, head + body, hashlib.sha1).digest())
        sock.sendto(head + body, address)
        answer = sock.recv(2048)
        return struct.unpack_from("!H", answer)[0], stun_attributes(answer)

    kind, first = request([])
    if kind != 0x0113 or 0x0014 not in first or 0x0015 not in first:
        raise Failed("the relay did not ask for credentials (message type %#x)" % kind)
    realm, nonce = first[0x0014], first[0x0015]
    username = service.get("username").encode()
    key = hashlib.md5(username + b":" + realm + b":" + service.get("password").encode()).digest()
    kind, second = request([(0x0006, username), (0x0014, realm), (0x0015, nonce)], key)
    if kind != 0x0103 or 0x0016 not in second:
        error = second.get(0x0009, b"\0\0\0\0")
        raise Failed("the relay refused the credentials: %d %s"
                     % (error[2] * 100 + error[3], error[4:].decode(errors="replace")))
    relayed = second[0x0016]
    port = struct.unpack_from("!H", relayed, 2)[0] ^ (cookie >> 16)
    ip = socket.inet_ntoa(struct.pack("!I", struct.unpack_from("!I", relayed, 4)[0] ^ cookie))
    print("TURN allocation with those credentials: relayed at %s:%d" % (ip, port))
    return ip, port


def main():
    address, domain, ca = sys.argv[1:4]
    room = "marevo@rooms." + domain
    host = Client(address, domain, ca)
    host.starttls()
    host.sign_in()
    turn = host.turn("urn:xmpp:extdisco:2")
    if turn is None:
        turn = host.turn("urn:xmpp:extdisco:1")
    if turn is None:
        raise Failed("no TURN service in either XEP-0215 namespace")
    for key in ("host", "port", "username", "password"):
        if not turn.get(key):
            raise Failed("the TURN service has no " + key)
    turn_allocate(turn)

    announce = "<session xmlns='%s' name='Test race' port='29540'/>" % GAME
    host.join(room, "host", announce)
    joiner = Client(address, domain, ca)
    joiner.starttls()
    joiner.sign_in()
    joiner.join(room, "joiner")
    seen = joiner.expect(lambda e: e.tag == tag(CLIENT, "presence")
                         and e.get("from") == room + "/host")
    if seen.find("{%s}session" % GAME) is None:
        raise Failed("the host's announcement did not reach the joiner: " + show(seen))
    print("the joiner sees the host's session: %s" % show(seen))
    # Players' addresses stay the room's: another player's real JID would tell where it signed in.
    if host.jid in show(seen):
        raise Failed("the room shows the host's real JID to other players")
    joiner.send("<message to='%s/host' type='chat' id='m1'><body>knock</body></message>" % room)
    heard = host.expect(lambda e: e.tag == tag(CLIENT, "message") and e.get("type") == "chat",
                        "the host hears privately")
    if heard.get("from") != room + "/joiner" or heard.findtext(tag(CLIENT, "body")) != "knock":
        raise Failed("the private message arrived wrong: " + show(heard))
    for client in (joiner, host):
        client.send("</stream:stream>")
    print("OK")


if __name__ == "__main__":
    try:
        main()
    except (Failed, OSError, ET.ParseError) as e:
        print("FAILED: %s" % e)
        sys.exit(1)

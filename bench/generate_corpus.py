#!/usr/bin/env python3
"""Writes a profile-like folder for the backup benchmark.

The folder looks like a long-used mail profile: mbox mail folders with their
summary (.msf) files under Mail/Local Folders and ImapMail/<server>, SQLite
databases, add-on packages (.xpi, already compressed), tens of thousands of
small cache entries under cache2/entries, and the usual small settings files.

Every byte comes from pseudo-random generators with fixed seeds, one seed per
file or per piece of a large file, so the same preset gives the same files on
every run whatever the number of worker processes. Two things tie the bytes to
the machine: SQLite's and zlib's versions (they write the databases and the
.xpi members), and the absolute path of the folder, which prefs.js holds as a
real profile does.

Presets:
  small  about 100 MB, about 20,000 files
  full   about 2.5 GB, about 100,000 files, one mbox over 1 GiB

Usage: generate_corpus.py --preset small|full --output DIR [--jobs N] [--force]
"""

import argparse
import base64
import hashlib
import itertools
import json
import multiprocessing
import os
import random
import shutil
import sqlite3
import struct
import sys
import time
import zipfile

# ---------------------------------------------------------------------------
# Presets. Sizes are in bytes (MB = 10^6 bytes).
# ---------------------------------------------------------------------------

MB = 1_000_000

LOCAL = "Mail/Local Folders"
IMAP = "ImapMail/imap.example.com"

PRESETS = {
    "small": {
        # (folder path, mbox size, kind)
        "mailboxes": [
            (f"{LOCAL}/Inbox", 16 * MB, "inbox"),
            (f"{LOCAL}/Sent", 5 * MB, "sent"),
            (f"{LOCAL}/Drafts", 200_000, "drafts"),
            (f"{LOCAL}/Templates", 30_000, "drafts"),
            (f"{LOCAL}/Trash", 1_500_000, "inbox"),
            (f"{LOCAL}/Archives.sbd/2023", 5 * MB, "inbox"),
            (f"{LOCAL}/Archives.sbd/2024", 5 * MB, "inbox"),
            (f"{IMAP}/INBOX", 9 * MB, "inbox"),
            (f"{IMAP}/Sent", 2_500_000, "sent"),
            (f"{IMAP}/Drafts", 100_000, "drafts"),
            (f"{IMAP}/Trash", 1 * MB, "inbox"),
            (f"{IMAP}/Junk", 1 * MB, "junk"),
            (f"{IMAP}/INBOX.sbd/Lists", 3 * MB, "list"),
            (f"{IMAP}/INBOX.sbd/Receipts", 800_000, "inbox"),
        ],
        "gloda_bytes": 8 * MB,
        "favicons_bytes": 2 * MB,
        "address_cards": 800,
        "collected_cards": 300,
        "extensions": [2_500_000, 1_200_000, 800_000, 600_000, 400_000, 300_000],
        "cache_entries": 20_000,
        "startup_cache_bytes": 2 * MB,
    },
    "full": {
        "mailboxes": [
            (f"{LOCAL}/Inbox", 1_150 * MB, "inbox"),
            (f"{LOCAL}/Sent", 150 * MB, "sent"),
            (f"{LOCAL}/Drafts", 2 * MB, "drafts"),
            (f"{LOCAL}/Templates", 300_000, "drafts"),
            (f"{LOCAL}/Trash", 30 * MB, "inbox"),
            (f"{LOCAL}/Archives.sbd/2022", 90 * MB, "inbox"),
            (f"{LOCAL}/Archives.sbd/2023", 110 * MB, "inbox"),
            (f"{LOCAL}/Archives.sbd/2024", 60 * MB, "inbox"),
            (f"{IMAP}/INBOX", 250 * MB, "inbox"),
            (f"{IMAP}/Sent", 50 * MB, "sent"),
            (f"{IMAP}/Drafts", 1 * MB, "drafts"),
            (f"{IMAP}/Trash", 15 * MB, "inbox"),
            (f"{IMAP}/Junk", 15 * MB, "junk"),
            (f"{IMAP}/INBOX.sbd/Lists", 100 * MB, "list"),
            (f"{IMAP}/INBOX.sbd/Receipts", 15 * MB, "inbox"),
        ],
        "gloda_bytes": 180 * MB,
        "favicons_bytes": 15 * MB,
        "address_cards": 5_000,
        "collected_cards": 2_000,
        "extensions": [9_000_000, 6_500_000, 5_000_000, 4_200_000, 3_600_000, 3_100_000,
                       2_800_000, 2_500_000, 2_300_000, 2_100_000, 1_900_000, 1_700_000,
                       1_500_000, 1_300_000, 1_200_000, 1_100_000, 1_000_000, 900_000,
                       800_000, 700_000, 600_000, 500_000, 400_000, 300_000],
        "cache_entries": 100_000,
        "startup_cache_bytes": 6 * MB,
    },
}

# The mail of one mbox is made in pieces of about this size, each from its own
# seed, so that the worker processes can share a large mbox.
SEGMENT_BYTES = 8 * MB

EPOCH_2019 = 1_546_300_800  # 2019-01-01 00:00:00 UTC
EPOCH_2025 = 1_735_689_600  # 2025-01-01 00:00:00 UTC


def rng_for(*parts):
    """A generator of its own for one file or piece; string seeds are stable."""
    return random.Random("quillbank-bench:" + ":".join(str(p) for p in parts))


# ---------------------------------------------------------------------------
# Words. A vocabulary of common English words followed by a long tail of
# made-up ones, drawn with Zipf-like frequencies, gives text that compresses
# about as well as real prose.
# ---------------------------------------------------------------------------

COMMON_WORDS = """
the of and to a in is it you that he was for on are with as I his they be at one
have this from or had by not word but what some we can out other were all there
when up use your how said an each she which do their time if will way about many
then them write would like so these her long make thing see him two has look more
day could go come did number sound no most people my over know water than call
first who may down side been now find any new work part take get place made live
where after back little only round man year came show every good me give our under
name very through just form sentence great think say help low line differ turn
cause much mean before move right boy old too same tell does set three want air
well also play small end put home read hand port large spell add even land here
must big high such follow act why ask men change went light kind off need house
picture try us again animal point mother world near build self earth father head
stand own page should country found answer school grow study still learn plant
cover food sun four between state keep eye never last let thought city tree cross
farm hard start might story saw far sea draw left late run while press close night
real life few north open seem together next white children begin got walk example
ease paper group always music those both mark often letter until mile river car
feet care second book carry took science eat room friend began idea fish mountain
stop once base hear horse cut sure watch color face wood main enough plain girl
usual young ready above ever red list though feel talk bird soon body dog family
direct pose leave song measure door product black short numeral class wind question
happen complete ship area half rock order fire south problem piece told knew pass
since top whole king space heard best hour better true during hundred five remember
step early hold west ground interest reach fast verb sing listen six table travel
less morning ten simple several vowel toward war lay against pattern slow center
love person money serve appear road map rain rule govern pull cold notice voice
unit power town fine certain fly fall lead cry dark machine note wait plan figure
star box noun field rest correct able pound done beauty drive stood contain front
teach week final gave green quick develop ocean warm free minute strong special
mind behind clear tail produce fact street inch multiply nothing course stay wheel
full force blue object decide surface deep moon island foot system busy test record
boat common gold possible plane stead dry wonder laugh thousand ago ran check game
shape equate miss brought heat snow tire bring yes distant fill east paint language
among meeting please thanks project report invoice attached schedule review budget
deadline team client update draft release server account password support ticket
issue version feedback agenda minutes office holiday weekend tomorrow yesterday
monday tuesday wednesday thursday friday quarter contract proposal offer order
shipping delivery payment receipt subscription newsletter conference travel flight
hotel booking reservation dinner lunch coffee call phone message reply forward
""".split()

SYLLABLES = ("ka ro ten mi sa lo ver in da po re tu ne ga li mar hel son ber to at en is or an "
             "el ta vi qu ex pro con dis un der ment tion al ly ing ed er est ous ive ful").split()


def build_vocabulary():
    rng = rng_for("vocabulary")
    words = list(dict.fromkeys(COMMON_WORDS))
    seen = set(words)
    while len(words) < 9000:
        word = "".join(rng.choice(SYLLABLES) for _ in range(rng.choice((1, 2, 2, 3, 3, 4))))
        if word not in seen:
            seen.add(word)
            words.append(word)
    # Zipf-like weights, then punctuated variants of each word.
    entries = []
    for rank, word in enumerate(words):
        weight = 1.0 / (rank + 1) ** 1.02
        entries += [(word, weight * 0.86), (word + ",", weight * 0.06), (word + ".", weight * 0.08)]
    # A table of 65,536 slots: two random bytes pick a token.
    slots = 1 << 16
    total = sum(w for _, w in entries)
    table = []
    for word, weight in entries:
        table += [word] * max(1, int(weight / total * slots))
    # The rounding left slots over or under: fill from the top or trim the tail.
    index = 0
    while len(table) < slots:
        table.append(entries[index][0])
        index += 3
    return words, table[:slots]


WORDS, TOKEN_TABLE = build_vocabulary()


class Tokens:
    """A stream of words drawn with their frequencies."""

    def __init__(self, rng):
        self.rng = rng
        self.buffer = []
        self.position = 0

    def take(self, count):
        if self.position + count > len(self.buffer):
            fresh = max(count, 1 << 17)
            indexes = memoryview(self.rng.randbytes(2 * fresh)).cast("H")
            self.buffer = self.buffer[self.position:] + list(map(TOKEN_TABLE.__getitem__, indexes))
            self.position = 0
        words = self.buffer[self.position:self.position + count]
        self.position += count
        return words

    def lines(self, count, per_line=11):
        words = self.take(count * per_line)
        return [" ".join(words[i:i + per_line]) for i in range(0, len(words), per_line)]

    def phrase(self, low, high):
        return " ".join(self.take(self.rng.randint(low, high)))


FIRST_NAMES = """James Mary Robert Patricia John Jennifer Michael Linda David Elizabeth William
Barbara Richard Susan Joseph Jessica Thomas Sarah Charles Karen Daniel Lisa Matthew Nancy Anthony
Betty Mark Sandra Donald Margaret Steven Ashley Paul Kimberly Andrew Emily Joshua Donna Kenneth
Michelle Kevin Carol Brian Amanda George Melissa Timothy Deborah Ronald Stephanie Jason Rebecca
Edward Sharon Jeffrey Laura Ryan Cynthia Jacob Kathleen Gary Amy Nicholas Angela Eric Shirley
Jonathan Anna Stephen Brenda Larry Pamela Justin Emma Scott Nicole Brandon Helen Benjamin Samantha
Samuel Katherine Gregory Christine Alexander Debra Frank Rachel Patrick Carolyn Raymond Janet
Jack Catherine Dennis Maria Jerry Heather Tyler Diane Aaron Ruth Jose Julie Adam Olivia Nathan
Joyce Henry Virginia Douglas Victoria Zachary Kelly Peter Lauren Kyle Christina Ethan Joan Walter
Evelyn Noah Judith Jeremy Megan Christian Andrea Keith Cheryl Roger Hannah Terry Jacqueline Gerald
Martha Harold Gloria Sean Teresa Austin Ann Carl Sara Arthur Madison Lawrence Frances""".split()

LAST_NAMES = """Smith Johnson Williams Brown Jones Garcia Miller Davis Rodriguez Martinez Hernandez
Lopez Gonzalez Wilson Anderson Thomas Taylor Moore Jackson Martin Lee Perez Thompson White Harris
Sanchez Clark Ramirez Lewis Robinson Walker Young Allen King Wright Scott Torres Nguyen Hill Flores
Green Adams Nelson Baker Hall Rivera Campbell Mitchell Carter Roberts Gomez Phillips Evans Turner
Diaz Parker Cruz Edwards Collins Reyes Stewart Morris Morales Murphy Cook Rogers Gutierrez Ortiz
Morgan Cooper Peterson Bailey Reed Kelly Howard Ramos Kim Cox Ward Richardson Watson Brooks Chavez
Wood James Bennett Gray Mendoza Ruiz Hughes Price Alvarez Castillo Sanders Patel Myers Long Ross
Foster Jimenez Powell Jenkins Perry Russell Sullivan Bell Coleman Butler Henderson Barnes Gonzales
Fisher Vasquez Simmons Romero Jordan Patterson Alexander Hamilton Graham Reynolds Griffin Wallace""".split()

DOMAINS = ["example.com", "example.org", "example.net", "mail.example.com", "corp.example.org",
           "lists.example.net", "shop.example.com", "university.example.edu", "agency.example.gov",
           "startup.example.io"]


def build_people():
    rng = rng_for("people")
    people = []
    for _ in range(600):
        first, last = rng.choice(FIRST_NAMES), rng.choice(LAST_NAMES)
        domain = rng.choice(DOMAINS)
        local = rng.choice((f"{first}.{last}", f"{first[0]}{last}", f"{first}", f"{last}.{first[0]}"))
        people.append((f"{first} {last}", f"{local.lower()}@{domain}"))
    return people


PEOPLE = build_people()
ME = ("Alex Morgan", "alex.morgan@example.com")

DAYS = ("Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun")
MONTHS = ("Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec")


def rfc_date(ts):
    t = time.gmtime(ts)
    return f"{DAYS[t.tm_wday]}, {t.tm_mday} {MONTHS[t.tm_mon - 1]} {t.tm_year} " \
           f"{t.tm_hour:02}:{t.tm_min:02}:{t.tm_sec:02} +0000"


def mbox_date(ts):
    t = time.gmtime(ts)
    return f"{DAYS[t.tm_wday]} {MONTHS[t.tm_mon - 1]} {t.tm_mday:02} " \
           f"{t.tm_hour:02}:{t.tm_min:02}:{t.tm_sec:02} {t.tm_year}"


def b64_random(rng, count):
    return base64.b64encode(rng.randbytes(count)).decode("ascii")


def wrap_base64(data):
    return "\n".join(data[i:i + 76] for i in range(0, len(data), 76))


# ---------------------------------------------------------------------------
# Mail
# ---------------------------------------------------------------------------

# (weight, MIME type, extension, compressible, median size)
ATTACHMENT_KINDS = [
    (14, "application/pdf", "pdf", False, 40_000),
    (12, "image/jpeg", "jpg", False, 60_000),
    (5, "image/png", "png", False, 20_000),
    (5, "application/vnd.openxmlformats-officedocument.wordprocessingml.document", "docx", False, 25_000),
    (3, "application/zip", "zip", False, 80_000),
    (7, "text/csv", "csv", True, 20_000),
    (5, "text/plain", "txt", True, 6_000),
    (3, "text/calendar", "ics", True, 2_000),
    (3, "text/html", "html", True, 15_000),
]
ATTACHMENT_WEIGHTS = list(itertools.accumulate(k[0] for k in ATTACHMENT_KINDS))
ATTACHMENT_MAGIC = {"pdf": b"%PDF-1.7\n%\xe2\xe3\xcf\xd3\n", "jpg": b"\xff\xd8\xff\xe0\x00\x10JFIF\x00",
                    "png": b"\x89PNG\r\n\x1a\n", "docx": b"PK\x03\x04\x14\x00\x06\x00", "zip": b"PK\x03\x04"}
ATTACHMENT_CAP = 6 * MB


class MailWriter:
    """Makes the messages of one piece of an mbox."""

    def __init__(self, path, index, kind):
        self.rng = rng_for("mail", path, index)
        self.tokens = Tokens(self.rng)
        self.kind = kind
        self.tag = hashlib.sha1(f"{path}:{index}".encode()).hexdigest()[:10]
        self.count = 0
        self.recent = []  # (subject, message id, author, date, body lines) to reply to

    def subject(self):
        words = self.tokens.take(self.rng.randint(2, 8))
        text = " ".join(w.rstrip(".,") for w in words)
        return text[:1].upper() + text[1:]

    def body(self, sender_name):
        rng = self.rng
        lines = [f"Hi {ME[0].split()[0] if self.kind != 'sent' else sender_name.split()[0]},", ""]
        for _ in range(rng.choice((1, 1, 2, 2, 3, 3, 4, 5))):
            lines += self.tokens.lines(rng.choice((1, 2, 2, 3, 3, 4, 6)), rng.randint(9, 13))
            lines.append("")
        lines.append(rng.choice(("Best regards,", "Thanks,", "Cheers,", "Kind regards,", "Best,")))
        lines.append(sender_name.split()[0])
        return lines

    def attachment(self, boundary):
        rng = self.rng
        kind = rng.choices(ATTACHMENT_KINDS, cum_weights=ATTACHMENT_WEIGHTS)[0]
        _, mime, ext, compressible, median = kind
        size = min(ATTACHMENT_CAP, max(300, int(median * rng.lognormvariate(0, 0.9))))
        name = "-".join(w.rstrip(".,") for w in self.tokens.take(rng.randint(1, 3))) + "." + ext
        if compressible:
            out, total = [], 0
            while total < size:
                if ext == "csv":
                    line = ",".join((str(rng.randrange(100000)), self.tokens.phrase(1, 3),
                                     f"{rng.random() * 1000:.2f}", str(rng.randrange(2019, 2025))))
                elif ext == "ics":
                    line = f"DESCRIPTION:{self.tokens.phrase(6, 12)}"
                elif ext == "html":
                    line = f"<tr><td>{self.tokens.phrase(2, 5)}</td><td>{rng.randrange(10000)}</td></tr>"
                else:
                    line = self.tokens.phrase(8, 14)
                out.append(line)
                total += len(line) + 2
            data = ("\r\n".join(out) + "\r\n").encode("ascii")
        else:
            data = ATTACHMENT_MAGIC.get(ext, b"") + rng.randbytes(size)
        encoded = base64.encodebytes(data).decode("ascii")
        return (f"--{boundary}\n"
                f"Content-Type: {mime}; name=\"{name}\"\n"
                f"Content-Disposition: attachment; filename=\"{name}\"\n"
                f"Content-Transfer-Encoding: base64\n\n{encoded}\n")

    def message(self, ts):
        rng = self.rng
        self.count += 1
        kind = self.kind
        if kind == "sent" or kind == "drafts":
            sender = ME
            to = [rng.choice(PEOPLE) for _ in range(rng.choice((1, 1, 1, 2, 3)))]
        else:
            sender = rng.choice(PEOPLE)
            to = [ME] + [rng.choice(PEOPLE) for _ in range(rng.choice((0, 0, 0, 1, 2)))]
        domain = sender[1].split("@")[1]
        message_id = f"{self.tag}{self.count:06x}.{rng.getrandbits(32):08x}@{domain}"
        reply_to = self.recent[rng.randrange(len(self.recent))] if self.recent and rng.random() < 0.5 else None
        subject = ("Re: " + reply_to[0].removeprefix("Re: ")) if reply_to else self.subject()
        if kind == "junk":
            subject = subject.upper() + " - limited offer"

        status = rng.choice(("0001", "0001", "0001", "0003", "0000", "0005"))
        headers = [f"From - {mbox_date(ts)}",
                   f"X-Mozilla-Status: {status}",
                   "X-Mozilla-Status2: 00000000",
                   "X-Mozilla-Keys: " + " " * 80]
        if kind not in ("sent", "drafts"):
            host = f"mail.{domain}"
            ip = f"192.0.2.{rng.randrange(1, 255)}"
            queue_id = b64_random(rng, 8).rstrip("=").replace("/", "x").replace("+", "z")
            headers += [f"Return-Path: <{sender[1]}>",
                        f"Delivered-To: {ME[1]}",
                        f"Received: from {host} ({host} [{ip}])",
                        f"\tby mx.example.com (Postfix) with ESMTPS id {queue_id}",
                        f"\tfor <{ME[1]}>; {rfc_date(ts)}",
                        f"Received: from [198.51.100.{rng.randrange(1, 255)}] (unknown [198.51.100.7])",
                        f"\t(Authenticated sender: {sender[1]})",
                        f"\tby {host} (Postfix) with ESMTPSA id {queue_id[::-1]};",
                        f"\t{rfc_date(ts - rng.randrange(1, 30))}"]
            signature = b64_random(rng, 256)
            headers += [f"DKIM-Signature: v=1; a=rsa-sha256; c=relaxed/relaxed; d={domain};",
                        f"\ts=mail; t={ts}; bh={b64_random(rng, 32)};",
                        "\th=From:To:Subject:Date:Message-ID:MIME-Version:Content-Type;",
                        "\tb=" + "\n\t ".join(signature[i:i + 68] for i in range(0, len(signature), 68))]
        headers += [f"Message-ID: <{message_id}>",
                    f"Date: {rfc_date(ts)}",
                    "MIME-Version: 1.0",
                    "User-Agent: Mozilla Thunderbird",
                    "Content-Language: en-US",
                    f"From: {sender[0]} <{sender[1]}>",
                    "To: " + ", ".join(f"{n} <{a}>" for n, a in to)]
        if rng.random() < 0.2:
            cc = rng.choice(PEOPLE)
            headers.append(f"Cc: {cc[0]} <{cc[1]}>")
        headers.append(f"Subject: {subject}")
        if reply_to:
            headers += [f"In-Reply-To: <{reply_to[1]}>", f"References: <{reply_to[1]}>"]
        if kind == "list":
            headers += ["List-Id: Project discussion <devel.lists.example.net>",
                        "List-Unsubscribe: <mailto:devel-leave@lists.example.net>",
                        "List-Post: <mailto:devel@lists.example.net>",
                        "Precedence: list"]

        lines = self.body(sender[0])
        if reply_to:
            lines += ["", f"On {rfc_date(reply_to[3])}, {reply_to[2]} wrote:"]
            lines += [("> " + line) if line and not line.startswith(">") else (">" + line)
                      for line in reply_to[4][:40]]
        if kind == "list":
            lines += ["", "_______________________________________________",
                      "devel mailing list", "devel@lists.example.net",
                      "https://lists.example.net/listinfo/devel"]
        elif rng.random() < 0.35:
            lines += ["", "-- ", sender[0], self.tokens.phrase(2, 4).capitalize(),
                      f"+1 555 01{rng.randrange(10)}{rng.randrange(10)}"]
        plain = "\n".join(lines) + "\n"

        parts = []
        html = rng.random() < (0.9 if kind == "junk" else 0.35)
        attachments = 0
        if rng.random() < 0.05 and kind != "junk":
            attachments = rng.choice((1, 1, 1, 1, 2, 3))
        text_part = ("Content-Type: text/plain; charset=UTF-8; format=flowed\n"
                     "Content-Transfer-Encoding: 7bit\n\n" + plain)
        if html:
            paragraphs = "\n".join(f"<p>{line}</p>" if line else "<br>" for line in lines)
            html_part = ("Content-Type: text/html; charset=UTF-8\nContent-Transfer-Encoding: 7bit\n\n"
                         "<html>\n  <head>\n    <meta http-equiv=\"content-type\" "
                         "content=\"text/html; charset=UTF-8\">\n  </head>\n  <body>\n"
                         f"{paragraphs}\n  </body>\n</html>\n")
            alt = f"------------alt{self.tag}{self.count:06x}"
            body_part = (f"Content-Type: multipart/alternative; boundary=\"{alt}\"\n\n"
                         f"--{alt}\n{text_part}\n--{alt}\n{html_part}\n--{alt}--\n")
        else:
            body_part = text_part
        if attachments:
            mixed = f"------------{self.tag}{self.count:06x}{rng.getrandbits(24):06x}"
            parts.append(f"Content-Type: multipart/mixed; boundary=\"{mixed}\"\n\n"
                         "This is a multi-part message in MIME format.\n"
                         f"--{mixed}\n{body_part}\n")
            for _ in range(attachments):
                parts.append(self.attachment(mixed))
            parts.append(f"--{mixed}--\n")
        else:
            parts.append(body_part)
        text = "\n".join(headers) + "\n" + "".join(parts) + "\n"

        self.recent.append((subject, message_id, sender[0], ts, lines))
        if len(self.recent) > 8:
            self.recent.pop(0)
        flags = int(status, 16)
        return text, (subject, f"{sender[0]} <{sender[1]}>", message_id,
                      ", ".join(a for _, a in to), ts, flags, text.count("\n"))


def make_mail_segment(task):
    """One piece of an mbox: its bytes and what the summary file records of each message."""
    path, index, segments, size, kind, crlf = task
    writer = MailWriter(path, index, kind)
    span = (EPOCH_2025 - EPOCH_2019) // segments
    ts = EPOCH_2019 + index * span
    pieces, metas, total = [], [], 0
    while total < size:
        ts += writer.rng.randrange(60, max(120, span // max(1, size // 6000)))
        text, meta = writer.message(ts)
        if crlf:
            text = text.replace("\n", "\r\n")
        metas.append((total, len(text)) + meta)
        pieces.append(text)
        total += len(text)
    return "".join(pieces).encode("ascii"), metas


def mork_escape(text):
    return text.replace("\\", "\\\\").replace(")", "\\)").replace("$", "\\$")


def write_summary(path, metas):
    """A mail summary file (.msf) in the row-and-atom text format mail clients keep."""
    out = ['// <!-- <mdb:mork:z v="1.4"/> -->',
           "< <(a=c)> // (f=iso-8859-1)",
           "  (B8=ns:msg:db:row:scope:msgs:all)(B9=ns:msg:db:table:kind:msgs)",
           "  (BA=ns:msg:db:row:scope:threads:all)(BB=ns:msg:db:table:kind:thread)",
           "  (80=subject)(81=sender)(82=message-id)(83=references)(84=recipients)",
           "  (85=date)(86=size)(87=flags)(88=priority)(89=label)(8A=statusOfset)",
           "  (8B=numLines)(8C=ccList)(8D=msgThreadId)(8E=threadId)(8F=threadFlags)",
           "  (90=threadNewestMsgDate)(91=children)(92=unreadChildren)(93=account)",
           "  (94=msgCharSet)(95=threadParent)(96=msgOffset)(97=offlineMsgSize)",
           "  (98=dateReceived)(99=keywords)(9A=storeToken)>", ""]
    atom = 0x100
    rows = []
    for number, (offset, size, subject, sender, message_id, recipients, ts, flags, lines) in \
            enumerate(metas, start=1):
        atoms = []
        for value in (subject, sender, message_id, recipients):
            atoms.append(f"({atom:X}={mork_escape(value)})")
            atom += 1
        out.append("<" + "".join(atoms) + ">")
        first = atom - 4
        rows.append(f"[{number:X}(^80^{first:X})(^81^{first + 1:X})(^82^{first + 2:X})"
                    f"(^84^{first + 3:X})(^85={ts:x})(^86={size:x})(^87={flags:x})(^88=1)"
                    f"(^8A=11)(^8B={lines:x})(^8D={number:x})(^96={offset:x})(^97={size:x})"
                    f"(^98={ts + 3:x})(^9A={offset:x})]")
    out.append("{1:^80 {(k^B9:c)(s=9)} " + "\n  ".join(rows) + "}")
    out.append("@$${1{@")
    out.append("@$$}1}@")
    with open(path, "w", encoding="ascii", newline="\n") as f:
        f.write("\n".join(out) + "\n")


# ---------------------------------------------------------------------------
# Databases
# ---------------------------------------------------------------------------

def new_database(path, schema):
    db = sqlite3.connect(path)
    db.execute("PRAGMA page_size = 4096")
    db.execute("PRAGMA journal_mode = OFF")
    db.execute("PRAGMA synchronous = OFF")
    db.executescript(schema)
    return db


# Bytes with the skew of the varint-packed lists that full-text indexes store.
SKEW = bytes(min(255, int(256 * (i / 256) ** 3)) for i in range(256))


def make_gloda(root, target):
    rng = rng_for("gloda")
    tokens = Tokens(rng)
    path = os.path.join(root, "global-messages-db.sqlite")
    db = new_database(path, """
        CREATE TABLE folderLocations (id INTEGER PRIMARY KEY, folderURI TEXT NOT NULL,
            dirtyStatus INTEGER NOT NULL, name TEXT NOT NULL, indexingPriority INTEGER NOT NULL);
        CREATE TABLE conversations (id INTEGER PRIMARY KEY, subject TEXT NOT NULL,
            oldestMessageDate INTEGER, newestMessageDate INTEGER);
        CREATE TABLE messages (id INTEGER PRIMARY KEY, folderID INTEGER, messageKey INTEGER,
            conversationID INTEGER NOT NULL, date INTEGER, headerMessageID TEXT,
            deleted INTEGER NOT NULL DEFAULT 0, jsonAttributes TEXT, notability INTEGER NOT NULL DEFAULT 0);
        CREATE TABLE messageAttributes (conversationID INTEGER, messageID INTEGER NOT NULL,
            attributeID INTEGER NOT NULL, value NUMERIC);
        CREATE TABLE messagesText_content (docid INTEGER PRIMARY KEY, c0body, c1subject,
            c2attachmentNames, c3author, c4recipients);
        CREATE TABLE messagesText_segments (blockid INTEGER PRIMARY KEY, block BLOB);
        CREATE TABLE messagesText_segdir (level INTEGER, idx INTEGER, start_block INTEGER,
            leaves_end_block INTEGER, end_block INTEGER, root BLOB, PRIMARY KEY(level, idx));
        CREATE TABLE contacts (id INTEGER PRIMARY KEY, directoryUUID TEXT, contactUUID TEXT,
            popularity INTEGER, frecency INTEGER, name TEXT, jsonAttributes TEXT);
        CREATE TABLE identities (id INTEGER PRIMARY KEY, contactID INTEGER NOT NULL,
            kind TEXT NOT NULL, value TEXT NOT NULL, description NOT NULL, relay INTEGER NOT NULL);
        CREATE INDEX messageLocation ON messages(folderID, messageKey);
        CREATE INDEX headerMessageID ON messages(headerMessageID);
        CREATE INDEX conversationID ON messages(conversationID);
        CREATE INDEX date ON messages(date);
        CREATE INDEX messageAttribQuery ON messageAttributes(attributeID, value, conversationID);
        CREATE INDEX messageAttribFastDeletion ON messageAttributes(messageID);
        CREATE INDEX identityLookup ON identities(kind, value);
    """)
    folders = ["Inbox", "Sent", "Trash", "Archives/2023", "Archives/2024", "INBOX", "Lists", "Receipts"]
    db.executemany("INSERT INTO folderLocations VALUES (?, ?, 0, ?, ?)",
                   [(i + 1, f"mailbox://nobody@Local%20Folders/{f}", f, i) for i, f in enumerate(folders)])
    for i, (name, address) in enumerate(PEOPLE):
        db.execute("INSERT INTO contacts VALUES (?, NULL, NULL, ?, ?, ?, ?)",
                   (i + 1, rng.randrange(5000), rng.randrange(100000), name, "{}"))
        db.execute("INSERT INTO identities VALUES (?, ?, 'email', ?, '', 0)", (i + 1, i + 1, address))
    message_id, block_id = 0, 0
    while os.path.getsize(path) < target:
        messages, attributes, texts, blocks = [], [], [], []
        for _ in range(500):
            message_id += 1
            conversation = message_id - rng.randrange(min(message_id, 5))
            ts = (EPOCH_2019 + message_id * 613) * 1_000_000
            author = rng.choice(PEOPLE)
            subject = tokens.phrase(2, 8)
            messages.append((message_id, rng.randrange(1, len(folders) + 1), message_id, conversation, ts,
                             f"{message_id:x}.{rng.getrandbits(48):012x}@{author[1].split('@')[1]}",
                             json.dumps({"43": [rng.randrange(600) for _ in range(rng.randint(1, 4))],
                                         "50": rng.random() < 0.1, "58": [1, 2]}),
                             rng.randrange(3)))
            for attribute in rng.sample(range(40, 70), 6):
                attributes.append((conversation, message_id, attribute, rng.randrange(1_000_000)))
            body = "\n".join(tokens.lines(rng.randint(3, 25), rng.randint(9, 13)))
            texts.append((message_id, body, subject, "", f"{author[0]} {author[1]}", ME[1]))
        for _ in range(4):
            block_id += 1
            blocks.append((block_id, rng.randbytes(rng.randint(900, 4000)).translate(SKEW)))
        db.executemany("INSERT INTO messages VALUES (?, ?, ?, ?, ?, ?, 0, ?, ?)", messages)
        db.executemany("INSERT INTO messageAttributes VALUES (?, ?, ?, ?)", attributes)
        db.executemany("INSERT INTO messagesText_content VALUES (?, ?, ?, ?, ?, ?)", texts)
        db.executemany("INSERT INTO messagesText_segments VALUES (?, ?)", blocks)
        db.commit()
    db.close()


def make_favicons(root, target):
    rng = rng_for("favicons")
    path = os.path.join(root, "favicons.sqlite")
    db = new_database(path, """
        CREATE TABLE moz_icons (id INTEGER PRIMARY KEY, icon_url TEXT NOT NULL,
            fixed_icon_url_hash INTEGER NOT NULL, width INTEGER NOT NULL DEFAULT 0,
            root INTEGER NOT NULL DEFAULT 0, color INTEGER, expire_ms INTEGER NOT NULL DEFAULT 0,
            data BLOB);
        CREATE TABLE moz_pages_w_icons (id INTEGER PRIMARY KEY, page_url TEXT NOT NULL,
            page_url_hash INTEGER NOT NULL);
        CREATE TABLE moz_icons_to_pages (page_id INTEGER NOT NULL, icon_id INTEGER NOT NULL,
            expire_ms INTEGER NOT NULL DEFAULT 0, PRIMARY KEY (page_id, icon_id)) WITHOUT ROWID;
        CREATE INDEX moz_icons_iconurlhashindex ON moz_icons (fixed_icon_url_hash);
        CREATE INDEX moz_pages_w_icons_urlhashindex ON moz_pages_w_icons (page_url_hash);
    """)
    icon = 0
    while os.path.getsize(path) < target:
        rows, pages, links = [], [], []
        for _ in range(200):
            icon += 1
            host = f"www.{rng.choice(WORDS)}{rng.choice(WORDS)}.example"
            rows.append((icon, f"https://{host}/favicon.ico", rng.getrandbits(48), rng.choice((16, 32, 64)),
                         rng.getrandbits(24), 1_700_000_000_000 + icon,
                         b"\x89PNG\r\n\x1a\n" + rng.randbytes(rng.randint(300, 6000))))
            pages.append((icon, f"https://{host}/", rng.getrandbits(48)))
            links.append((icon, icon, 0))
        db.executemany("INSERT INTO moz_icons VALUES (?, ?, ?, ?, 0, ?, ?, ?)", rows)
        db.executemany("INSERT INTO moz_pages_w_icons VALUES (?, ?, ?)", pages)
        db.executemany("INSERT INTO moz_icons_to_pages VALUES (?, ?, ?)", links)
        db.commit()
    db.close()


def make_address_book(root, name, cards, seed):
    rng = rng_for("abook", seed)
    db = new_database(os.path.join(root, name), """
        CREATE TABLE cards (uid TEXT PRIMARY KEY, localId INTEGER);
        CREATE TABLE properties (card TEXT, name TEXT, value TEXT);
        CREATE TABLE lists (uid TEXT PRIMARY KEY, localId INTEGER, name TEXT, nickName TEXT, description TEXT);
        CREATE TABLE list_cards (list TEXT, card TEXT, PRIMARY KEY(list, card));
        CREATE INDEX properties_card ON properties(card);
        CREATE INDEX properties_name ON properties(name);
    """)
    for number in range(1, cards + 1):
        uid = "%08x-%04x-4%03x-a%03x-%012x" % (rng.getrandbits(32), rng.getrandbits(16), rng.getrandbits(12),
                                              rng.getrandbits(12), rng.getrandbits(48))
        first, last = rng.choice(FIRST_NAMES), rng.choice(LAST_NAMES)
        address = f"{first.lower()}.{last.lower()}@{rng.choice(DOMAINS)}"
        vcard = (f"BEGIN:VCARD\r\nVERSION:4.0\r\nFN:{first} {last}\r\nN:{last};{first};;;\r\n"
                 f"EMAIL;PREF=1:{address}\r\nTEL;TYPE=work;VALUE=TEXT:+1 555 {rng.randrange(10000):04}\r\n"
                 f"NOTE:{' '.join(rng.choice(WORDS) for _ in range(rng.randint(0, 12)))}\r\n"
                 f"UID:{uid}\r\nEND:VCARD\r\n")
        db.execute("INSERT INTO cards VALUES (?, ?)", (uid, number))
        db.executemany("INSERT INTO properties VALUES (?, ?, ?)", [
            (uid, "DisplayName", f"{first} {last}"), (uid, "FirstName", first), (uid, "LastName", last),
            (uid, "PrimaryEmail", address), (uid, "LowercasePrimaryEmail", address),
            (uid, "PopularityIndex", str(rng.randrange(200))),
            (uid, "LastModifiedDate", str(EPOCH_2019 + rng.randrange(EPOCH_2025 - EPOCH_2019))),
            (uid, "_vCard", vcard)])
    db.commit()
    db.close()


def make_small_databases(root):
    rng = rng_for("small-databases")
    db = new_database(os.path.join(root, "permissions.sqlite"), """
        CREATE TABLE moz_perms (id INTEGER PRIMARY KEY, origin TEXT, type TEXT, permission INTEGER,
            expireType INTEGER, expireTime INTEGER, modificationTime INTEGER);
    """)
    db.executemany("INSERT INTO moz_perms VALUES (?, ?, ?, ?, 0, 0, ?)",
                   [(i, f"https://{rng.choice(WORDS)}.example.com", rng.choice(("image", "cookie", "popup")),
                     rng.choice((1, 2)), 1_700_000_000_000 + i) for i in range(1, 400)])
    db.commit()
    db.close()
    db = new_database(os.path.join(root, "content-prefs.sqlite"), """
        CREATE TABLE groups (id INTEGER PRIMARY KEY, name TEXT NOT NULL);
        CREATE TABLE settings (id INTEGER PRIMARY KEY, name TEXT NOT NULL);
        CREATE TABLE prefs (id INTEGER PRIMARY KEY, groupID INTEGER, settingID INTEGER NOT NULL,
            value BLOB, timestamp INTEGER NOT NULL DEFAULT 0);
    """)
    db.executemany("INSERT INTO groups VALUES (?, ?)", [(i, f"{rng.choice(WORDS)}.example.org") for i in range(1, 200)])
    db.execute("INSERT INTO settings VALUES (1, 'browser.content.full-zoom')")
    db.executemany("INSERT INTO prefs VALUES (?, ?, 1, ?, ?)",
                   [(i, i, rng.choice((0.9, 1.1, 1.2)), 1_700_000_000 + i) for i in range(1, 200)])
    db.commit()
    db.close()
    for name, rows in (("cert9.db", 300), ("key4.db", 40)):
        db = new_database(os.path.join(root, name), """
            CREATE TABLE nssPublic (id PRIMARY KEY UNIQUE ON CONFLICT ABORT, a0, a1, a2, a3, a11,
                a102, a81, a82, a83, a84);
            CREATE TABLE metaData (id PRIMARY KEY UNIQUE ON CONFLICT REPLACE, item1, item2);
        """)
        db.executemany("INSERT INTO nssPublic VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                       [(i, 1, rng.randbytes(4), rng.randbytes(20), f"CN={rng.choice(WORDS)} Root CA".encode(),
                         rng.randbytes(rng.randint(700, 1600)), rng.randbytes(32), rng.randbytes(90),
                         rng.randbytes(16), rng.randbytes(20), rng.randbytes(16)) for i in range(rows)])
        db.execute("INSERT INTO metaData VALUES ('password', ?, ?)", (rng.randbytes(64), rng.randbytes(80)))
        db.commit()
        db.close()
    db = new_database(os.path.join(root, "openpgp.sqlite"), """
        CREATE TABLE acceptance_email (fpr TEXT NOT NULL, email TEXT NOT NULL, UNIQUE(fpr, email));
        CREATE TABLE acceptance_decision (fpr TEXT NOT NULL, decision TEXT NOT NULL, UNIQUE(fpr));
    """)
    for name, address in PEOPLE[:120]:
        fpr = rng.randbytes(20).hex().upper()
        db.execute("INSERT INTO acceptance_email VALUES (?, ?)", (fpr, address))
        db.execute("INSERT INTO acceptance_decision VALUES (?, 'verified')", (fpr,))
    db.commit()
    db.close()
    # Site storage: a few IndexedDB and local storage databases.
    for number in range(6):
        origin = f"https+++{rng.choice(WORDS)}.example.com"
        folder = os.path.join(root, "storage", "default", origin, "idb")
        os.makedirs(folder, exist_ok=True)
        db = new_database(os.path.join(folder, f"{rng.getrandbits(32)}{rng.choice(WORDS)}.sqlite"), """
            CREATE TABLE database (name TEXT PRIMARY KEY, origin TEXT NOT NULL, version INTEGER NOT NULL DEFAULT 0,
                last_vacuum_time INTEGER NOT NULL DEFAULT 0, last_analyze_time INTEGER NOT NULL DEFAULT 0,
                last_vacuum_size INTEGER NOT NULL DEFAULT 0) WITHOUT ROWID;
            CREATE TABLE object_data (object_store_id INTEGER NOT NULL, key BLOB NOT NULL,
                index_data_values BLOB DEFAULT NULL, file_ids TEXT, data BLOB NOT NULL,
                PRIMARY KEY (object_store_id, key)) WITHOUT ROWID;
        """)
        db.execute("INSERT INTO database VALUES ('cache', ?, 3, 0, 0, 0)", (origin,))
        db.executemany("INSERT INTO object_data VALUES (1, ?, NULL, NULL, ?)",
                       [(struct.pack(">Q", k), rng.randbytes(rng.randint(50, 3000)).translate(SKEW))
                        for k in range(rng.randint(50, 300))])
        db.commit()
        db.close()


# ---------------------------------------------------------------------------
# Add-ons and caches
# ---------------------------------------------------------------------------

CODE_KEYWORDS = ["const", "let", "var", "return", "if", "else", "function", "await", "async",
                 "this", "new", "null", "true", "false", "for", "of", "typeof", "export", "import"]


def identifier(rng):
    first, second = rng.choice(WORDS), rng.choice(WORDS)
    return first + second.capitalize()


def code_lines(rng, size):
    """Script-like text of about `size` bytes."""
    out, total, depth = [], 0, 1
    while total < size:
        choice = rng.random()
        pad = "  " * depth
        if choice < 0.3:
            line = f"{pad}{rng.choice(('const', 'let'))} {identifier(rng)} = {identifier(rng)}." \
                   f"{identifier(rng)}({identifier(rng)}, {rng.randrange(1000)});"
        elif choice < 0.45 and depth < 6:
            line = f"{pad}{rng.choice(('if', 'for', 'while'))} ({identifier(rng)} " \
                   f"{rng.choice(('===', '!==', '<', '>=', 'of'))} {identifier(rng)}) {{"
            depth += 1
        elif choice < 0.6 and depth > 1:
            depth -= 1
            line = "  " * depth + "}"
        elif choice < 0.7:
            line = f"{pad}return {identifier(rng)}.{rng.choice(WORDS)};"
        elif choice < 0.8:
            line = f"{pad}// {' '.join(rng.choice(WORDS) for _ in range(rng.randint(3, 10)))}"
        elif choice < 0.88:
            line = f"{pad}{identifier(rng)}: \"{' '.join(rng.choice(WORDS) for _ in range(rng.randint(1, 5)))}\","
        else:
            line = f"{pad}async function {identifier(rng)}({identifier(rng)}, {identifier(rng)}) {{"
            depth = min(depth + 1, 6)
        out.append(line)
        total += len(line) + 1
    return ("\n".join(out) + "\n").encode("ascii")


def make_extension(root, number, size):
    addon_id = make_extension_id(number)
    rng = rng_for("extension-content", number)
    path = os.path.join(root, "extensions", f"{addon_id}.xpi")
    stamp = (2024, 3, 1, 12, 0, 0)

    def add(archive, name, data, method=zipfile.ZIP_DEFLATED):
        info = zipfile.ZipInfo(name, date_time=stamp)
        info.compress_type = method
        info.external_attr = 0o644 << 16
        archive.writestr(info, data)

    with zipfile.ZipFile(path, "w") as archive:
        manifest = {"manifest_version": 2, "name": f"{rng.choice(WORDS).capitalize()} {rng.choice(WORDS)}",
                    "version": f"{rng.randrange(1, 9)}.{rng.randrange(20)}.{rng.randrange(50)}",
                    "browser_specific_settings": {"gecko": {"id": addon_id, "strict_min_version": "115.0"}},
                    "background": {"scripts": ["background.js"]},
                    "permissions": ["storage", "messagesRead", "accountsRead", "tabs"]}
        add(archive, "manifest.json", json.dumps(manifest, indent=2))
        written = 0
        part = 0
        while written < size:
            part += 1
            kind = rng.random()
            if kind < 0.45:
                chunk = code_lines(rng, rng.randint(4_000, 120_000))
                add(archive, f"lib/{identifier(rng)}{part}.js", chunk)
                written += len(chunk) // 4
            elif kind < 0.6:
                chunk = json.dumps({identifier(rng): {"message": " ".join(rng.choice(WORDS) for _ in range(8))}
                                    for _ in range(rng.randint(20, 200))}, indent=2).encode()
                add(archive, f"_locales/{rng.choice(('en', 'de', 'fr', 'es', 'it', 'ja', 'pl', 'cs'))}"
                             f"/messages{part}.json", chunk)
                written += len(chunk) // 5
            else:
                chunk = b"\x89PNG\r\n\x1a\n" + rng.randbytes(rng.randint(2_000, 300_000))
                add(archive, f"icons/{rng.choice(WORDS)}-{part}.png", chunk, zipfile.ZIP_STORED)
                written += len(chunk)
    return addon_id


CACHE_KINDS = [  # (weight, content type, text)
    (18, "text/html; charset=utf-8", True), (25, "application/javascript", True),
    (10, "text/css", True), (10, "application/json", True), (14, "image/png", False),
    (10, "image/jpeg", False), (6, "image/webp", False), (4, "image/gif", False),
    (3, "font/woff2", False)]
CACHE_WEIGHTS = list(itertools.accumulate(k[0] for k in CACHE_KINDS))


def cache_body(rng, tokens, kind, size):
    if kind.startswith("text/html"):
        out, total = ["<!DOCTYPE html><html><head><title>" + tokens.phrase(2, 6) + "</title></head><body>"], 0
        while total < size:
            line = f"<div class=\"{rng.choice(WORDS)}\"><p>{tokens.phrase(6, 20)}</p>" \
                   f"<a href=\"/{rng.choice(WORDS)}/{rng.randrange(9999)}\">{tokens.phrase(1, 3)}</a></div>"
            out.append(line)
            total += len(line) + 1
        return ("\n".join(out) + "</body></html>\n").encode("ascii")
    if kind == "text/css":
        out, total = [], 0
        while total < size:
            line = f".{rng.choice(WORDS)}-{rng.choice(WORDS)} {{ margin: {rng.randrange(20)}px; " \
                   f"color: #{rng.getrandbits(24):06x}; display: {rng.choice(('block', 'flex', 'none'))}; }}"
            out.append(line)
            total += len(line) + 1
        return ("\n".join(out) + "\n").encode("ascii")
    if kind == "application/json":
        items = [{"id": rng.randrange(10**6), "title": tokens.phrase(2, 6), "score": rng.randrange(100)}
                 for _ in range(max(1, size // 60))]
        return json.dumps(items).encode("ascii")
    return code_lines(rng, size)


def make_cache(root, entries):
    rng = rng_for("cache")
    tokens = Tokens(rng)
    folder = os.path.join(root, "cache2", "entries")
    os.makedirs(folder, exist_ok=True)
    index = [b"\x00\x00\x00\x0a" + struct.pack(">III", 1_700_000_000, 0, entries)]
    for number in range(entries):
        key_hash = rng.randbytes(20)
        _, kind, text = rng.choices(CACHE_KINDS, cum_weights=CACHE_WEIGHTS)[0]
        size = max(40, min(400_000, int(500 * rng.lognormvariate(0, 1.2))))
        encoded = text and rng.random() < 0.3
        if not text or encoded:
            body = (b"\x1f\x8b\x08\x00" if encoded else b"") + rng.randbytes(size // 3 if encoded else size)
        else:
            body = cache_body(rng, tokens, kind, size)
        extension = {"text/css": "css", "application/json": "json"}.get(kind, "js" if text else "img")
        url = f"https://{rng.choice(('www', 'cdn', 'static', 'api'))}.{rng.choice(WORDS)}.example.com/" \
              f"{rng.choice(WORDS)}/{rng.choice(WORDS)}-{rng.getrandbits(32):08x}.{extension}"
        key = f"a,:{url}".encode("ascii")
        ts = 1_700_000_000 + number * 37
        head = (f"HTTP/1.1 200 OK\r\ndate: {rfc_date(ts)}\r\ncontent-type: {kind}\r\n"
                f"content-length: {len(body)}\r\ncache-control: max-age={rng.choice((3600, 86400, 31536000))}\r\n"
                + (f"content-encoding: gzip\r\n" if encoded else "")
                + f"etag: \"{rng.getrandbits(64):016x}\"\r\nvary: Accept-Encoding\r\n"
                f"server: {rng.choice(('nginx', 'cloud', 'apache'))}\r\n").encode("ascii")
        elements = (b"request-method\x00GET\x00response-head\x00" + head + b"\x00"
                    b"net-response-time-onstart\x00" + str(rng.randrange(20, 900)).encode() + b"\x00"
                    b"net-response-time-onstop\x00" + str(rng.randrange(20, 900)).encode() + b"\x00")
        chunks = max(1, (len(body) + 262143) // 262144)
        metadata = (struct.pack(">I", rng.getrandbits(32)) + rng.randbytes(2 * chunks)
                    + struct.pack(">IIIIIIII", 3, rng.randrange(1, 20), ts, ts - 86400, rng.getrandbits(32),
                                  ts + 86400, len(key), 0)
                    + key + b"\x00" + elements)
        with open(os.path.join(folder, key_hash.hex().upper()), "wb") as f:
            f.write(body + metadata + struct.pack(">I", len(body)))
        index.append(key_hash + struct.pack(">IIHHI", rng.getrandbits(32), ts, 0, 0, len(body) // 1024))
    with open(os.path.join(root, "cache2", "index"), "wb") as f:
        f.write(b"".join(index))


def mozlz4(rng, size):
    """A file in the compressed JSON container format, whose payload does not compress further."""
    return b"mozLz40\x00" + struct.pack("<I", size * 3) + rng.randbytes(size)


# ---------------------------------------------------------------------------
# Small settings files
# ---------------------------------------------------------------------------

def make_settings(root, final_root, addon_ids):
    rng = rng_for("settings")
    prefs = ["// Mozilla User Preferences", "",
             "// DO NOT EDIT THIS FILE.", "//",
             "// If you make changes to this file while the application is running,",
             "// the changes will be overwritten when the application exits.", ""]
    values = {
        "mail.account.account1.identities": "id1", "mail.account.account1.server": "server2",
        "mail.account.account2.server": "server1", "mail.accountmanager.accounts": "account1,account2",
        "mail.accountmanager.defaultaccount": "account1", "mail.accountmanager.localfoldersserver": "server1",
        "mail.identity.id1.fullName": ME[0], "mail.identity.id1.useremail": ME[1],
        "mail.identity.id1.smtpServer": "smtp1", "mail.identity.id1.archive_folder":
            "mailbox://nobody@Local%20Folders/Archives",
        "mail.identity.id1.fcc_folder": "imap://alex.morgan%40example.com@imap.example.com/Sent",
        "mail.identity.id1.draft_folder": "imap://alex.morgan%40example.com@imap.example.com/Drafts",
        "mail.server.server1.directory": os.path.join(final_root, "Mail", "Local Folders"),
        "mail.server.server1.directory-rel": "[ProfD]Mail/Local Folders",
        "mail.server.server1.hostname": "Local Folders", "mail.server.server1.name": "Local Folders",
        "mail.server.server1.type": "none", "mail.server.server1.userName": "nobody",
        "mail.server.server2.directory": os.path.join(final_root, "ImapMail", "imap.example.com"),
        "mail.server.server2.directory-rel": "[ProfD]ImapMail/imap.example.com",
        "mail.server.server2.hostname": "imap.example.com", "mail.server.server2.name": ME[1],
        "mail.server.server2.type": "imap", "mail.server.server2.userName": ME[1],
        "mail.server.server2.port": 993, "mail.server.server2.socketType": 3,
        "mail.smtpserver.smtp1.hostname": "smtp.example.com", "mail.smtpserver.smtp1.port": 465,
        "mail.smtpservers": "smtp1", "mail.rights.version": 1, "mail.ui-rdf.version": 33,
        "extensions.lastAppVersion": "115.16.0", "extensions.lastPlatformVersion": "115.16.0",
        "mailnews.database.global.datastore.id": "c4d1a0f2-61c8-4f8e-bd1a-5a1f3c0d2e77",
    }
    for number in range(600):
        values[f"mail.{rng.choice(WORDS)}.{rng.choice(WORDS)}_{number}"] = rng.choice(
            (rng.randrange(100000), rng.random() < 0.5, " ".join(rng.choice(WORDS) for _ in range(3))))
    for name in sorted(values):
        value = values[name]
        if isinstance(value, bool):
            text = "true" if value else "false"
        elif isinstance(value, int):
            text = str(value)
        else:
            text = json.dumps(value)
        prefs.append(f"user_pref(\"{name}\", {text});")
    with open(os.path.join(root, "prefs.js"), "w", encoding="utf-8", newline="\n") as f:
        f.write("\n".join(prefs) + "\n")

    def write(name, data):
        path = os.path.join(root, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data if isinstance(data, bytes) else data.encode("utf-8"))

    write("times.json", json.dumps({"created": 1_546_300_800_000, "firstUse": None}))
    write("compatibility.ini", "[Compatibility]\nLastVersion=115.16.0_20241001000000/20241001000000\n"
                               "LastOSABI=Linux_x86_64-gcc3\nLastPlatformDir=/usr/lib/thunderbird\n")
    write("extensions.json", json.dumps({"schemaVersion": 36, "addons": [
        {"id": addon_id, "syncGUID": "{%032x}" % rng.getrandbits(128), "version": "1.0", "type": "extension",
         "active": True, "visible": True, "path": os.path.join(final_root, "extensions", addon_id + ".xpi"),
         "defaultLocale": {"name": " ".join(rng.choice(WORDS) for _ in range(2)),
                           "description": " ".join(rng.choice(WORDS) for _ in range(20))},
         "installDate": 1_600_000_000_000 + rng.randrange(10**10)} for addon_id in addon_ids]}, indent=1))
    write("xulstore.json", json.dumps({"chrome://messenger/content/messenger.xhtml": {
        "messengerWindow": {"width": "1400", "height": "900", "sizemode": "normal"},
        "folderTree": {"mode": "all,smart"}}}, indent=1))
    write("folderTree.json", json.dumps({f"mailbox://nobody@Local%20Folders/{w}": {"open": True}
                                         for w in ("Inbox", "Archives", "Sent", "Trash")}))
    write("mailViews.dat", "version=\"9\"\nlogging=\"no\"\nname=\"People I Know\"\n"
                           "condition=\"AND (from,is in ab,jsaddrbook://abook.sqlite)\"\n"
                           "name=\"Recent Mail\"\ncondition=\"AND (age,is less than,1)\"\n")
    write("virtualFolders.dat", "version=1\nuri=mailbox://nobody@Local%20Folders/Unread\n"
                                "scope=mailbox://nobody@Local%20Folders/Inbox\nterms=AND (has status,is,unread)\n")
    write("logins.json", json.dumps({"nextId": 40, "logins": [
        {"id": i, "hostname": f"imap://{rng.choice(WORDS)}.example.com", "httpRealm": "imap",
         "encryptedUsername": base64.b64encode(rng.randbytes(60)).decode(),
         "encryptedPassword": base64.b64encode(rng.randbytes(60)).decode(),
         "guid": "{%032x}" % rng.getrandbits(128), "encType": 1} for i in range(1, 40)]}))
    write("pkcs11.txt", "library=\nname=NSS Internal PKCS #11 Module\n"
                        "parameters=configdir='sql:.' certPrefix='' keyPrefix='' secmod='secmod.db'\n")
    write("SiteSecurityServiceState.bin", rng.randbytes(8_000))
    write("session.json", json.dumps({"windows": [{"type": "3pane", "tabs": [{"mode": "mail3PaneTab"}]}]}))
    write("search.json.mozlz4", mozlz4(rng, 12_000))
    write("addonStartup.json.lz4", mozlz4(rng, 20_000))
    write("crashes/store.json.mozlz4", mozlz4(rng, 600))
    write("datareporting/glean/db/data.safe.bin", rng.randbytes(40_000))
    write("security_state/data.safe.bin", rng.randbytes(3_000))
    write(f"{LOCAL}/msgFilterRules.dat", "version=\"9\"\nlogging=\"no\"\n")
    write(f"{IMAP}/msgFilterRules.dat", "version=\"9\"\nlogging=\"no\"\n" + "".join(
        f"name=\"{rng.choice(WORDS)}\"\nenabled=\"yes\"\ntype=\"17\"\naction=\"Move to folder\"\n"
        f"actionValue=\"imap://alex.morgan%40example.com@imap.example.com/INBOX/Lists\"\n"
        f"condition=\"OR (from,contains,{rng.choice(PEOPLE)[1]})\"\n" for _ in range(30)))


def make_startup_cache(root, size):
    rng = rng_for("startup-cache")
    path = os.path.join(root, "startupCache", "startupCache.8.little")
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(b"startupcache0002" + rng.randbytes(size))


# ---------------------------------------------------------------------------
# Driver
# ---------------------------------------------------------------------------

def run_task(task):
    name, args = task
    globals()[name](*args)
    return name


def generate(preset_name, output, jobs):
    preset = PRESETS[preset_name]
    final_root = os.path.abspath(output)
    root = final_root + ".partial"
    if os.path.exists(root):
        shutil.rmtree(root)
    os.makedirs(root)
    for folder in (LOCAL, IMAP, "extensions"):
        os.makedirs(os.path.join(root, folder), exist_ok=True)
    started = time.time()

    addon_ids = [make_extension_id(n) for n in range(len(preset["extensions"]))]
    side_tasks = [("make_gloda", (root, preset["gloda_bytes"])),
                  ("make_cache", (root, preset["cache_entries"])),
                  ("make_favicons", (root, preset["favicons_bytes"])),
                  ("make_address_book", (root, "abook.sqlite", preset["address_cards"], "personal")),
                  ("make_address_book", (root, "history.sqlite", preset["collected_cards"], "collected")),
                  ("make_small_databases", (root,)),
                  ("make_startup_cache", (root, preset["startup_cache_bytes"])),
                  ("make_settings", (root, final_root, addon_ids))]
    side_tasks += [("make_extension", (root, n, size)) for n, size in enumerate(preset["extensions"])]

    with multiprocessing.Pool(jobs) as pool:
        pending = pool.map_async(run_task, side_tasks)
        for path, size, kind in preset["mailboxes"]:
            full = os.path.join(root, path)
            os.makedirs(os.path.dirname(full), exist_ok=True)
            segments = max(1, round(size / SEGMENT_BYTES))
            crlf = path.startswith("ImapMail/")
            pieces = [(path, i, segments, size // segments, kind, crlf) for i in range(segments)]
            metas, offset = [], 0
            with open(full, "wb") as mbox:
                for data, piece_metas in pool.imap(make_mail_segment, pieces):
                    mbox.write(data)
                    metas += [(m[0] + offset,) + m[1:] for m in piece_metas]
                    offset += len(data)
            write_summary(full + ".msf", metas)
        pending.get()

    # The parents of subfolders: an empty mbox and its summary, as mail clients keep them.
    for dirpath, dirnames, _ in os.walk(root):
        for name in dirnames:
            if name.endswith(".sbd"):
                parent = os.path.join(dirpath, name[:-4])
                if not os.path.exists(parent):
                    open(parent, "wb").close()
                if not os.path.exists(parent + ".msf"):
                    write_summary(parent + ".msf", [])

    if os.path.exists(final_root):
        shutil.rmtree(final_root)
    os.rename(root, final_root)
    files, total, largest = 0, 0, (0, "")
    for dirpath, _, filenames in os.walk(final_root):
        for name in filenames:
            size = os.path.getsize(os.path.join(dirpath, name))
            files += 1
            total += size
            largest = max(largest, (size, os.path.relpath(os.path.join(dirpath, name), final_root)))
    print(f"generate_corpus: {preset_name}: {files} files, {total / MB:.1f} MB, largest {largest[1]} "
          f"({largest[0] / MB:.1f} MB), in {time.time() - started:.0f} s")


def make_extension_id(number):
    rng = rng_for("extension", number)
    if number % 3:
        return f"{rng.choice(WORDS)}-{rng.choice(WORDS)}@addons.example.org"
    return "{%08x-%04x-%04x-%04x-%012x}" % (rng.getrandbits(32), rng.getrandbits(16), rng.getrandbits(16),
                                            rng.getrandbits(16), rng.getrandbits(48))


def main():
    parser = argparse.ArgumentParser(description="Writes a profile-like folder for the backup benchmark.")
    parser.add_argument("--preset", choices=sorted(PRESETS), required=True)
    parser.add_argument("--output", required=True, help="the folder to write (replaced if --force)")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 1)
    parser.add_argument("--force", action="store_true", help="replace an existing folder")
    args = parser.parse_args()
    if os.path.exists(args.output) and not args.force:
        sys.exit(f"generate_corpus: {args.output} exists (give --force to replace it)")
    generate(args.preset, args.output, max(1, args.jobs))


if __name__ == "__main__":
    main()

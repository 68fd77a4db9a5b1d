#!/usr/bin/python3
"""SMTP server of the test command: takes every message into a Maildir.

Usage: smtpserver.py HOST PORT MAILDIR USER PASSWORD
Sending needs no login; a client that logs in must give USER and PASSWORD, any other
login is refused with 535, as a real server refuses a wrong password.
"""
import signal
import sys

from aiosmtpd.controller import Controller
from aiosmtpd.handlers import Mailbox
from aiosmtpd.smtp import AuthResult, LoginPassword

host, port, maildir, user, password = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4], sys.argv[5]


def authenticate(server, session, envelope, mechanism, data):
    ok = (isinstance(data, LoginPassword)
          and data.login.decode() == user and data.password.decode() == password)
    return AuthResult(success=ok, handled=False)


controller = Controller(Mailbox(maildir), hostname=host, port=port,
                        authenticator=authenticate, auth_require_tls=False)
controller.start()
signal.sigwait({signal.SIGTERM, signal.SIGINT})
controller.stop()

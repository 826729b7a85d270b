"""An FTP server for the publishing tests: one user ("publisher", password
"secret") in one folder, plain, with explicit TLS (AUTH TLS required) or with
implicit TLS (TLS from the first byte, as ftps:// expects)."""
import argparse
import logging

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, TLS_DTPHandler, TLS_FTPHandler
from pyftpdlib.servers import FTPServer


class EarlyTlsDataHandler(TLS_DTPHandler):
    def readable(self):
        # libcurl starts TLS on a data connection before it sends STOR;
        # pyftpdlib takes bytes that come that early for a hang-up.
        if self._ssl_accepting or self._ssl_want_read:
            return True
        if self._ssl_established and not self.receive and not self._initialized:
            return False
        return super().readable()


class ImplicitTlsHandler(TLS_FTPHandler):
    def handle(self):
        # TLS before the greeting, instead of after an AUTH TLS command.
        self.secure_connection(self.ssl_context)

    def handle_ssl_established(self):
        TLS_FTPHandler.handle(self)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--root", required=True)
    parser.add_argument("--tls", choices=["explicit", "implicit"])
    parser.add_argument("--cert")
    parser.add_argument("--key")
    args = parser.parse_args()
    logging.basicConfig(level=logging.ERROR)

    authorizer = DummyAuthorizer()
    authorizer.add_user("publisher", "secret", args.root, perm="elradfmwMT")
    if args.tls is None:
        handler = FTPHandler
    else:
        handler = ImplicitTlsHandler if args.tls == "implicit" else TLS_FTPHandler
        handler.certfile = args.cert
        handler.keyfile = args.key
        handler.dtp_handler = EarlyTlsDataHandler
        handler.tls_control_required = True
        handler.tls_data_required = True
    handler.authorizer = authorizer
    FTPServer(("127.0.0.1", args.port), handler).serve_forever()


if __name__ == "__main__":
    main()

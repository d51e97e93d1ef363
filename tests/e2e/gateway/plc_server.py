#!/usr/bin/python3
"""A PLC for the gateway's tests: the Modbus TCP server of python3-pymodbus on a
datastore that the test reads and changes through stdin, or its Modbus RTU server
on a serial line (19200 baud, 8N1: pyserial cannot set parity on a pty; unit 1).

    plc_server.py PORT [SIZE]     PORT 0: one the system chooses; every table holds addresses 0..SIZE-1 (default 10000);
                                  any other address is an illegal data address
    plc_server.py rtu:DEVICE [SIZE]

Reads "set" lines from stdin until a line "serve" (so a restarted PLC holds its values
before the first client can read it), then prints "ready PORT" (or "ready rtu:DEVICE") once it listens.
Commands, one a line, each answered by one line:
    set TABLE ADDRESS VALUE...    -> "ok"          (TABLE: coil, discrete, holding, input)
    get TABLE ADDRESS COUNT       -> "values V..."
Every write a client makes is printed as "write TABLE ADDRESS VALUE...".
"""
import asyncio
import logging
import sys

from pymodbus.datastore import ModbusSequentialDataBlock, ModbusServerContext, ModbusSlaveContext
from pymodbus.server import StartAsyncSerialServer, StartAsyncTcpServer
from pymodbus.transaction import ModbusRtuFramer


def say(line):
    sys.stdout.write(line + "\n")
    sys.stdout.flush()


class Block(ModbusSequentialDataBlock):
    """Reports the clients' writes; the test's own go through set()."""

    def __init__(self, name, size):
        super().__init__(0, [0] * size)
        self.name = name

    def setValues(self, address, values):
        super().setValues(address, values)
        values = values if isinstance(values, list) else [values]
        say("write %s %d %s" % (self.name, address, " ".join(str(int(v)) for v in values)))

    def set(self, address, values):
        super().setValues(address, values)


def command(blocks, line):
    words = line.split()
    if not words:
        return
    try:
        block = blocks[words[1]]
        address = int(words[2])
        if words[0] == "set":
            block.set(address, [int(v) for v in words[3:]])
            say("ok")
        elif words[0] == "get":
            say("values " + " ".join(str(int(v)) for v in block.getValues(address, int(words[3]))))
        else:
            say("error unknown command")
    except (IndexError, KeyError, ValueError) as e:
        say("error %s" % e)


async def commands(blocks):
    loop = asyncio.get_running_loop()
    while True:
        line = await loop.run_in_executor(None, sys.stdin.readline)
        if not line:
            return
        command(blocks, line)


async def main():
    logging.getLogger("pymodbus").setLevel(logging.CRITICAL)  # refusals are the test's business
    where = sys.argv[1]
    size = int(sys.argv[2]) if len(sys.argv) > 2 else 10000
    blocks = {name: Block(name, size) for name in ("coil", "discrete", "holding", "input")}
    for line in sys.stdin:
        if line.strip() == "serve":
            break
        command(blocks, line)
    store = ModbusSlaveContext(co=blocks["coil"], di=blocks["discrete"], hr=blocks["holding"],
                               ir=blocks["input"], zero_mode=True)
    context = ModbusServerContext(slaves=store, single=True)
    if where.startswith("rtu:"):
        server = await StartAsyncSerialServer(context=context, framer=ModbusRtuFramer, port=where[4:],
                                              baudrate=19200, parity="N", stopbits=1, bytesize=8,
                                              defer_start=True)
        await server.start()
        serving = asyncio.create_task(server.serve_forever())
    else:
        server = await StartAsyncTcpServer(context=context, address=("127.0.0.1", int(where)),
                                           defer_start=True, allow_reuse_address=True)
        serving = asyncio.create_task(server.serve_forever())
        await server.serving
        where = str(server.server.sockets[0].getsockname()[1])  # port 0: the one the system chose
    say("ready %s" % where)
    await commands(blocks)  # stdin closed: the test is done with us
    serving.cancel()


asyncio.run(main())

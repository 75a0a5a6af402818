// One hap-nodejs accessory for the pairing peer test: its HTTP server alone on 127.0.0.1, never
// advertised (no Accessory.publish, so no mDNS). Prints "<port> <identifier> <public key hex>",
// then serves until stdin closes. Its pairings live in the storage folder given.
//
//   node hap-accessory.js <hap-nodejs prefix> <storage folder> <setup code> [port]
"use strict";
const path = require("path");

const [prefix, storage, code, port = "0"] = process.argv.slice(2);
const hap = require(path.join(prefix, "node_modules", "hap-nodejs"));

hap.HAPStorage.setCustomStoragePath(storage);
const info = hap.AccessoryInfo.create("CC:22:3D:E3:CE:F6");
info.displayName = "Peer";
info.pincode = code;
info.save();

const server = new hap.HAPServer(info);
// What Accessory does on a finished pair-setup, minus the advertisement update.
server.on("pair", (username, publicKey, done) => {
  info.addPairedClient(username, publicKey, hap.PermissionTypes.ADMIN);
  info.save();
  done();
});
server.on("listening", (actual) => {
  process.stdout.write(`${actual} ${info.username} ${info.signPk.toString("hex")}\n`);
});
server.listen(Number(port), "127.0.0.1");

process.stdin.on("end", () => {
  server.destroy();
  process.exit(0);
});
process.stdin.resume();

// The board in the browser: one station's bar and tiles at /, several stations side by side at
// /line?stations=HOST:PORT,HOST:PORT. Each station is followed through its event stream, which
// begins with a snapshot and resumes by itself after a break (the browser sends Last-Event-ID);
// while a unit loads, the sockets are read once a second for the bars' progress. Every word comes
// from the station's texts (/board/texts.js). Everything is put in with textContent: a label or a
// serial is shown, never run.
"use strict";

(function () {
  const T = window.QVX_TEXTS;
  // The events that end a load or change the run: the totals and the state are read again.
  const kStationChanges = new Set([
    "passed", "failed", "pulled", "cut off", "stopping", "stopped", "started again",
    "records held back",
  ]);
  const kSocketEvents = [
    "plugged", "started", "operation ended", "passed", "failed", "pulled", "cut off", "emptied",
  ];
  const kRunEvents = ["stopping", "stopped", "started again", "records held back"];
  // Milliseconds without a stream before the board says so: longer than the station's retry.
  const kLostAfter = 5000;

  function fill(template, values) {
    return template.replace(/\{(\w+)\}/g, (whole, name) =>
      Object.prototype.hasOwnProperty.call(values, name) ? String(values[name]) : whole);
  }

  function element(tag, className, parent) {
    const made = document.createElement(tag);
    if (className) made.className = className;
    if (parent) parent.appendChild(made);
    return made;
  }

  // "1:05", as the station's boards round a load's time.
  function minutesSeconds(seconds) {
    const whole = Math.round(Math.max(seconds, 0));
    return Math.floor(whole / 60) + ":" + String(whole % 60).padStart(2, "0");
  }

  function baseName(path) {
    const parts = path.split(/[\\/]/);
    return parts[parts.length - 1];
  }

  // What a socket's tile says, as the station window's tile says it.
  function tileView(socket) {
    const plugged = socket.state !== "empty";
    const operationLine = () => {
      let line = fill(T.operation, {
        number: socket.operation, of: socket.operations, name: socket.operation_name,
      });
      if (socket.attempt > 1) line += fill(T.attempt, { attempt: socket.attempt });
      return line;
    };
    const view = {
      heading: fill(T.socket, { port: socket.port }),
      serial: plugged ? socket.serial : "",
      label: plugged && socket.label ? fill(T.label, { label: socket.label }) : "",
      operation: "",
      progress: -1,
      elapsed: plugged ? minutesSeconds(socket.seconds) : "",
      verdict: "",
      reason: "",
    };
    if (socket.state === "empty") {
      view.operation = T.empty;
    } else if (socket.state === "loading") {
      view.operation = operationLine();
      view.progress = socket.progress;
    } else if (socket.state === "pass") {
      view.verdict = T.pass;
    } else if (socket.state === "fail") {
      view.verdict = T.fail;
      view.operation = operationLine();
      view.reason = socket.reason;
    }
    const name = [view.heading];
    if (view.serial) name.push(view.serial);
    name.push(socket.state);
    view.name = name.join(", ");
    return view;
  }

  class Tile {
    constructor(parent) {
      this.root = element("article", "tile", parent);
      this.heading = element("h2", "heading", this.root);
      this.serial = element("div", "serial", this.root);
      this.label = element("div", "label", this.root);
      this.operation = element("div", "operation", this.root);
      // A bar of its own rather than <progress>, so that it looks the same in every browser.
      this.bar = element("div", "bar", this.root);
      this.bar.setAttribute("role", "progressbar");
      this.bar.setAttribute("aria-valuemin", "0");
      this.bar.setAttribute("aria-valuemax", "100");
      this.fill = element("div", "fill", this.bar);
      this.elapsed = element("div", "elapsed", this.root);
      this.verdict = element("div", "verdict", this.root);
      this.reason = element("div", "reason", this.root);
    }

    show(socket) {
      this.socket = socket;
      this.shownAt = performance.now();
      const view = tileView(socket);
      this.root.dataset.port = socket.port;
      this.root.dataset.state = socket.state;
      this.root.setAttribute("aria-label", view.name);
      this.heading.textContent = view.heading;
      this.serial.textContent = view.serial;
      this.label.textContent = view.label;
      this.operation.textContent = view.operation;
      this.bar.hidden = view.progress < 0;
      if (view.progress >= 0) {
        this.bar.setAttribute("aria-valuenow", String(view.progress));
        this.fill.style.width = view.progress + "%";
      }
      this.elapsed.textContent = view.elapsed;
      this.verdict.textContent = view.verdict;
      this.reason.textContent = view.reason;
    }

    // A loading unit's time goes on between events.
    tick(now) {
      if (!this.socket || this.socket.state !== "loading") return;
      this.elapsed.textContent =
        minutesSeconds(this.socket.seconds + (now - this.shownAt) / 1000);
    }
  }

  // One station: its bar and tiles, kept as its events say.
  class StationView {
    constructor(parent, address, base) {
      this.address = address;
      this.base = base;
      this.tiles = new Map();
      this.events = 0;
      this.snapshots = 0;
      this.polling = false;
      this.root = element("section", "station", parent);
      this.root.dataset.station = address;
      const bar = element("header", "summary", this.root);
      this.name = element("h1", "name", bar);
      this.name.textContent = address ? address : T.title;
      const facts = element("div", "facts", bar);
      this.totals = element("div", "totals", facts);
      this.set = element("div", "set", facts);
      this.operator = element("div", "operator", facts);
      this.workOrder = element("div", "work-order", facts);
      this.status = element("div", "status", bar);
      this.nextLabel = element("div", "next-label", bar);
      this.connection = element("div", "connection", bar);
      this.connection.textContent = fill(T.connecting, { station: address || location.host });
      this.tileArea = element("div", "tiles", this.root);
    }

    start() {
      const source = new EventSource(this.base + "/api/v1/events");
      // A stream ends now and then and is resumed at once: the board says the connection is lost
      // only when it stays away.
      let lost = null;
      source.onopen = () => {
        clearTimeout(lost);
        lost = null;
        this.connection.textContent = "";
      };
      source.onerror = () => {
        if (lost === null) {
          lost = setTimeout(() => {
            this.connection.textContent = fill(T.lost, { station: this.address || location.host });
          }, kLostAfter);
        }
      };
      for (const type of ["snapshot", "reset"]) {
        source.addEventListener(type, (message) => this.snapshot(message));
      }
      for (const type of kSocketEvents) {
        source.addEventListener(type, (message) => this.socketEvent(type, message));
      }
      for (const type of kRunEvents) {
        source.addEventListener(type, (message) => this.runEvent(message));
      }
      setInterval(() => this.tick(), 1000);
    }

    seen(message) {
      this.events += 1;
      this.root.dataset.events = String(this.events);
      this.root.dataset.lastEvent = message.lastEventId;
    }

    snapshot(message) {
      const data = JSON.parse(message.data);
      this.seen(message);
      // A stream that could not be resumed begins again from a snapshot: the page says how often.
      this.snapshots += 1;
      this.root.dataset.snapshots = String(this.snapshots);
      this.showStation(data.station);
      for (const tile of this.tiles.values()) tile.root.remove();
      this.tiles.clear();
      for (const socket of data.sockets) this.showSocket(socket);
    }

    socketEvent(type, message) {
      const data = JSON.parse(message.data);
      this.seen(message);
      this.showSocket(data.socket);
      if (kStationChanges.has(type)) this.readStation();
    }

    runEvent(message) {
      const data = JSON.parse(message.data);
      this.seen(message);
      this.showState(data.state, data.reason || "");
      this.readStation();
    }

    showSocket(socket) {
      let tile = this.tiles.get(socket.port);
      const added = !tile;
      if (added) {
        tile = new Tile(this.tileArea);
        this.tiles.set(socket.port, tile);
      }
      tile.show(socket);
      if (added) {
        // In the board's order: the order the station first saw the sockets.
        const ordered = [...this.tiles.values()].sort((a, b) => a.socket.number - b.socket.number);
        for (const each of ordered) this.tileArea.appendChild(each.root);
      }
    }

    showStation(station) {
      const totals = station.totals;
      this.totals.textContent = fill(T.totals, {
        passed: totals.passed, failed: totals.failed, pulled: totals.pulled,
        rate: totals.units_per_hour.toFixed(1),
      });
      this.set.textContent = station.set.path
        ? fill(T.set, { name: baseName(station.set.path), sha: station.set.sha256.slice(0, 12) })
        : T.noSet;
      this.operator.textContent =
        station.operator ? fill(T.operator, { name: station.operator }) : T.nobody;
      this.workOrder.textContent =
        station.work_order ? fill(T.workOrder, { order: station.work_order }) : T.noWorkOrder;
      this.nextLabel.textContent =
        station.next_label ? fill(T.nextLabel, { label: station.next_label }) : "";
      this.showState(station.state, station.record_failure || "");
      if (this.address && station.host) {
        this.name.textContent = station.host + " (" + this.address + ")";
      } else if (station.host) {
        this.name.textContent = T.title + " " + station.host;
        document.title = T.title + " " + station.host;
      }
    }

    showState(state, reason) {
      const words = {
        running: T.running, stopping: T.stopping, stopped: T.stopped,
        "records held back": fill(T.recordsHeldBack, { reason: reason }),
      };
      this.status.dataset.state = state;
      this.status.textContent = words[state] || state;
    }

    async readStation() {
      try {
        const answer = await fetch(this.base + "/api/v1/station");
        if (answer.ok) this.showStation(await answer.json());
      } catch (error) {
        // The stream says when the station cannot be reached.
      }
    }

    async tick() {
      const now = performance.now();
      let loading = false;
      for (const tile of this.tiles.values()) {
        tile.tick(now);
        loading = loading || (tile.socket && tile.socket.state === "loading");
      }
      if (!loading || this.polling) return;
      this.polling = true;
      try {
        const answer = await fetch(this.base + "/api/v1/sockets");
        if (answer.ok) {
          for (const socket of (await answer.json()).sockets) {
            // Only the bars: events say how loads begin and end.
            const tile = this.tiles.get(socket.port);
            if (tile && tile.socket.state === "loading" && socket.state === "loading" &&
                socket.load === tile.socket.load) {
              tile.show(socket);
            }
          }
        }
      } catch (error) {
        // As above.
      } finally {
        this.polling = false;
      }
    }
  }

  // "HOST:PORT", "[V6]:PORT", or either after http:// or https://.
  const kStationAddress =
    /^(?:(https?):\/\/)?(\[[0-9A-Fa-f:.]+\]|[A-Za-z0-9][A-Za-z0-9.-]*)(?::(\d{1,5}))?\/?$/;

  function line(parent) {
    const query = new URLSearchParams(location.search).get("stations") || "";
    const addresses = query.split(",").map((entry) => entry.trim()).filter((entry) => entry);
    if (addresses.length === 0) {
      element("p", "notice", parent).textContent = T.noStations;
      return;
    }
    for (const address of addresses) {
      const match = kStationAddress.exec(address);
      if (!match) {
        element("p", "notice", parent).textContent = fill(T.badStation, { station: address });
        continue;
      }
      const scheme = match[1] ? match[1] + ":" : location.protocol;
      const shown = match[2] + (match[3] ? ":" + match[3] : "");
      new StationView(parent, shown, scheme + "//" + shown).start();
    }
  }

  // One page for both: / follows its own station, /line the stations its query names.
  const stations = document.getElementById("stations");
  if (location.pathname === "/line") {
    document.title = T.lineTitle;
    stations.classList.add("line");
    line(stations);
  } else {
    new StationView(stations, "", "").start();
  }
})();

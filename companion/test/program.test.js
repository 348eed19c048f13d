'use strict'

// The module against the real program on the loopback: its actions as the program's state shows
// them, its variables as they follow the state, its refusals and its reconnection.

const assert = require('node:assert/strict')
const fs = require('node:fs')
const path = require('node:path')
const { after, before, describe, it } = require('node:test')
const { Backoff } = require('../src/backoff')
const { Controller } = require('../src/controller')
const { executable, fakeHost, freePort, scratchFolder, startProgram, until } = require('./program')

const MESSAGES = ['one', 'あと5分です', 'three', 'four', 'five']

// Five minutes before the present minute, so that the session is 5 to 6 minutes behind its plan
// before the first talk starts; null in the first minutes of a day, when that start is yesterday.
function startFiveMinutesAgo() {
	const now = new Date()
	const minutes = now.getHours() * 60 + now.getMinutes() - 5
	if (minutes < 0) return null
	return `${String(Math.floor(minutes / 60)).padStart(2, '0')}:${String(minutes % 60).padStart(2, '0')}`
}

function writeProgramme(folder, start) {
	const file = path.join(folder, 'programme.json')
	fs.writeFileSync(
		file,
		JSON.stringify({
			format: 'podiumwatch-programme',
			version: 1,
			title: 'Companion',
			...(start ? { start } : {}),
			changeover: '1:00',
			talks: [
				{ title: 'First', speaker: 'Ann', affiliation: 'Org A', time: '5:00' },
				{ title: 'Second', speaker: 'Bob', time: '0:03' },
				{ title: 'Third', speaker: 'Cy', time: '10:00' },
			],
			messages: MESSAGES,
		}),
	)
	return file
}

const hhmm = (date) => `${String(date.getHours()).padStart(2, '0')}:${String(date.getMinutes()).padStart(2, '0')}`

describe('Podium Watch on the loopback', { skip: !fs.existsSync(executable) && `no program at ${executable}` }, () => {
	let folder, program, host, controller, start

	// Runs an action and waits for the program's answer, which should be 204. The program takes
	// at most 20 commands a second (more are answered 503): the tests send fewer.
	let lastSent = 0
	const paced = async (actionId, options) => {
		await new Promise((resolve) => setTimeout(resolve, Math.max(0, lastSent + 80 - Date.now())))
		lastSent = Date.now()
		return host.act(actionId, options)
	}
	const act = async (actionId, options) => {
		const answer = await paced(actionId, options)
		assert.equal(answer.status, 204, `${actionId} ${JSON.stringify(options)}: ${answer.reason}`)
	}
	const stateWhere = (condition, what) => until(() => controller.state && condition(controller.state), 5000, what)

	before(async () => {
		folder = scratchFolder()
		start = startFiveMinutesAgo()
		program = await startProgram(folder, await freePort(), ['--programme', writeProgramme(folder, start)])
		host = fakeHost()
		controller = new Controller(host)
		controller.start({ host: '127.0.0.1', port: program.port, token: program.token })
		await stateWhere((state) => state.talk?.number === 1, 'the programme to be open')
	})

	after(async () => {
		controller?.stop()
		await program?.stop()
		fs.rmSync(folder, { recursive: true, force: true })
	})

	it('carries out every action as the state shows it', async () => {
		// In order: each row starts from the state the one before left.
		const rows = [
			['next', {}, (s) => s.talk.number === 2],
			['previous', {}, (s) => s.talk.number === 1],
			['goto', { n: 3 }, (s) => s.talk.number === 3],
			['goto', { n: 1 }, (s) => s.talk.number === 1 && s.remaining === 300],
			['start', {}, (s) => s.state === 'running'],
			['adjust', { seconds: 60 }, (s, was) => s.remaining > was.remaining + 50],
			['adjust', { seconds: -120 }, (s, was) => s.remaining < was.remaining - 110],
			['pause', {}, (s) => s.state === 'paused'],
			['restart', {}, (s) => s.state === 'running' && s.remaining > 290],
			['reset', {}, (s) => s.state === 'setup' && s.remaining === 300],
			['message', { text: 'Podium 時間です' }, (s) => s.message === 'Podium 時間です'],
			['message_saved', { i: 1 }, (s) => s.message === MESSAGES[1]],
			['message_clear', {}, (s) => s.message === null],
			// The state does not show the projector window or the mask: the program's 204 is all
			// there is to see of these.
			['projector', { on: 1 }, null],
			['projector', { on: 0 }, null],
			['mask', { on: 1 }, null],
			['mask', { on: 0 }, null],
		]
		for (const [actionId, options, shows] of rows) {
			const was = controller.state
			await act(actionId, options)
			if (shows) await stateWhere((state) => shows(state, was), `${actionId} ${JSON.stringify(options)} to show`)
		}
		assert.deepEqual(host.logs, [])
	})

	it('logs the reason of a command the program refuses, and of one it would not read', async () => {
		await act('goto', { n: 1 })
		await act('start')
		const rows = [
			['next', {}, 409, /next refused \(409\): not while the clock runs/],
			['message_saved', { i: 7 }, 409, /refused \(409\): there is no saved message there/],
			['adjust', { seconds: 601 }, 400, /refused \(400\): by is a whole number from -600 to 600/],
			['message', { text: 'x'.repeat(81) }, 400, /at most 80 characters/],
		]
		for (const [actionId, options, status, logged] of rows) {
			host.logs.length = 0
			const answer = await paced(actionId, options)
			assert.equal(answer.status, status, actionId)
			assert.match(host.logs.map((l) => l.message).join('\n'), logged)
		}
		await act('reset')
	})

	it('has every variable follow the program within a second', async () => {
		// Each row: what to do, then the values the variables must take within a second of the
		// program's answer. Rows run in order from set-up at the first talk.
		const inSetup = new Date()
		const rows = [
			['goto', { n: 1 }, { talk_number: 1, talk_count: 3, talk_title: 'First', talk_speaker: 'Ann', talk_affiliation: 'Org A',
				next_title: 'Second', next_speaker: 'Bob', next_affiliation: '', time: '5:00', remaining: 300,
				state: 'setup', state_text: 'セットアップ中', over_time: 'no', over_time_seconds: 0,
				saved_1: 'one', saved_2: MESSAGES[1], saved_5: 'five', saved_6: '' }],
			['goto', { n: 2 }, { talk_number: 2, talk_title: 'Second', talk_affiliation: '', next_title: 'Third', time: '0:03', remaining: 3 }],
			['start', {}, { state: 'running', state_text: '進行中' }],
			['message', { text: 'hello' }, { message: 'hello' }],
			['adjust', { seconds: -60 }, { over_time: 'yes', state_text: '超過中', remaining: (v) => v <= -55,
				over_time_seconds: (v) => v === -host.values.remaining }],
			['pause', {}, { state: 'paused', state_text: '一時停止中' }],
			['message_clear', {}, { message: '' }],
			['reset', {}, { state: 'setup', over_time: 'no', over_time_seconds: 0, remaining: 3 }],
			['goto', { n: 1 }, { talk_title: 'First' }],
		]
		const holds = (id, expected) => (typeof expected === 'function' ? expected(host.values[id]) : host.values[id] === expected)
		for (const [actionId, options, expected] of rows) {
			await act(actionId, options)
			await until(
				() => Object.entries(expected).every(([id, value]) => holds(id, value)),
				1000,
				`${actionId} ${JSON.stringify(options)} to give ${JSON.stringify(expected)}; have ${JSON.stringify(host.values)}`,
			)
		}

		// The session's times: planned from the programme's start, projected from now (setup at
		// the first talk: 5:00 + 0:03 + 10:00 and two changeovers of a minute).
		const session = 5 * 60 + 3 + 10 * 60 + 2 * 60
		const projected = [-1, 0, 1, 2].map((s) => hhmm(new Date(inSetup.getTime() + (session + s) * 1000)))
		assert.ok(projected.includes(host.values.projected_end), `projected end ${host.values.projected_end}, not one of ${projected}`)
		if (start) {
			const [h, m] = start.split(':').map(Number)
			assert.equal(host.values.planned_end, hhmm(new Date(2000, 0, 1, h, m, session)))
			assert.equal(host.values.schedule, '予定より 5分 遅れ')
			assert.ok(host.values.behind_seconds >= 300 && host.values.behind_seconds < 365, `behind ${host.values.behind_seconds}`)
		}

		// The time of day ticks, and is the time of day.
		const ticks = new Set()
		await until(() => {
			const now = new Date()
			const local = [-1, 0, 1].map((s) => new Date(now.getTime() + s * 1000).toTimeString().slice(0, 8))
			assert.ok(local.includes(host.values.clock), `clock ${host.values.clock} at ${local[1]}`)
			ticks.add(host.values.clock)
			return ticks.size >= 3
		}, 5000, 'the clock to tick')
	})

	it('calls a wrong token bad configuration', async () => {
		const wrong = fakeHost()
		const other = new Controller(wrong)
		other.start({ host: '127.0.0.1', port: program.port, token: 'not-the-token' })
		try {
			await until(() => wrong.status === 'bad_config', 5000, 'bad_config')
			assert.match(wrong.statuses.at(-1).message, /403/)
		} finally {
			other.stop()
		}
	})
})

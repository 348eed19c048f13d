'use strict'

// What Companion offers the operator: the connection's settings, the actions, the feedbacks and
// the preset page. Plain data with callbacks into a controller, so that they can be read (and
// the preset page drawn) without Companion.

const { CONDITIONS, bellPassed, displayStyle, SAVED_MESSAGES } = require('./state')

const rgb = (red, green, blue) => (red << 16) | (green << 8) | blue
const WHITE = rgb(255, 255, 255)
const BLACK = rgb(0, 0, 0)

const DEFAULT_PORT = 8760

function configFields() {
	return [
		{
			type: 'static-text',
			id: 'info',
			width: 12,
			label: 'Where to find Podium Watch',
			value:
				'Start Podium Watch with --remote (and --remote-tokens=FILE to keep the address across restarts). ' +
				'It prints "remote control: http://HOST:PORT/control?t=TOKEN": paste that whole address into ' +
				'the token field, or give the token alone.',
		},
		{ type: 'textinput', id: 'host', label: 'Host', width: 6, default: '127.0.0.1' },
		{ type: 'number', id: 'port', label: 'Port', width: 3, min: 1, max: 65535, default: DEFAULT_PORT },
		{ type: 'textinput', id: 'token', label: 'Control token (or the control address)', width: 12, default: '' },
	]
}

// The connection settings as the link takes them, or a reason why they cannot be used. A pasted
// control address gives its host, port and token; the fields it lacks are the form's.
function readConfig(config) {
	const given = { host: String(config?.host ?? '').trim(), port: Number(config?.port), token: String(config?.token ?? '').trim() }
	if (/^https?:\/\//i.test(given.token)) {
		let url
		try {
			url = new URL(given.token)
		} catch {
			return { problem: 'the control address cannot be read' }
		}
		given.token = url.searchParams.get('t') ?? ''
		given.host = url.hostname.replace(/^\[|\]$/g, '')
		if (url.port) given.port = Number(url.port)
	}
	if (!given.host) return { problem: 'no host' }
	if (!Number.isInteger(given.port) || given.port < 1 || given.port > 65535) return { problem: 'no port from 1 to 65535' }
	if (!given.token) return { problem: 'no control token' }
	if (/\s/.test(given.token)) return { problem: 'the control token has a space in it' }
	return { settings: given }
}

// `messages` is the program's list of saved messages, for the dropdown; before the program has
// said, the positions are offered by number.
function actionDefinitions(controller, messages = []) {
	const plain = (name, command) => ({ name, options: [], callback: () => controller.run(command) })
	const savedChoices = Array.from({ length: Math.min(messages.length || SAVED_MESSAGES, SAVED_MESSAGES) }, (_, i) => ({
		id: i,
		label: messages[i] ? `${i + 1}: ${messages[i]}` : `${i + 1}`,
	}))
	return {
		start: plain('Start', 'start'),
		pause: plain('Pause', 'pause'),
		restart: plain('ReStart (the talk from its full time)', 'restart'),
		reset: plain('Reset (back to set-up)', 'reset'),
		previous: plain('Previous talk', 'previous'),
		next: plain('Next talk', 'next'),
		message: {
			name: 'Show a message to the speaker',
			options: [{ type: 'textinput', id: 'text', label: 'Message (at most 80 characters)', default: '', useVariables: true }],
			callback: async (action, context) => controller.run('message', await context.parseVariablesInString(String(action.options.text ?? ''))),
		},
		message_clear: {
			name: 'Clear the message',
			options: [],
			callback: () => controller.run('message', ''),
		},
		message_saved: {
			name: 'Show a saved message',
			options: [{ type: 'dropdown', id: 'i', label: 'Saved message', default: 0, choices: savedChoices }],
			callback: (action) => controller.run('message-saved', action.options.i),
		},
		adjust: {
			name: 'Add or take away time',
			options: [{ type: 'number', id: 'seconds', label: 'Seconds (negative takes away)', default: 60, min: -600, max: 600 }],
			callback: (action) => controller.run('adjust', action.options.seconds),
		},
		goto: {
			name: 'Go to a talk',
			options: [{ type: 'number', id: 'n', label: 'Talk number', default: 1, min: 1, max: 200 }],
			callback: (action) => controller.run('goto', action.options.n),
		},
		projector: {
			name: 'Projector window',
			options: [{ type: 'dropdown', id: 'on', label: 'Window', default: 1, choices: [{ id: 1, label: 'Open' }, { id: 0, label: 'Close' }] }],
			callback: (action) => controller.run('projector', action.options.on),
		},
		mask: {
			name: 'Mask the main window',
			options: [{ type: 'dropdown', id: 'on', label: 'Mask', default: 1, choices: [{ id: 1, label: 'On' }, { id: 0, label: 'Off' }] }],
			callback: (action) => controller.run('mask', action.options.on),
		},
	}
}

function feedbackDefinitions(controller) {
	const lit = (name, description, condition, defaultStyle) => ({
		type: 'boolean',
		name,
		description,
		defaultStyle,
		options: [],
		callback: () => Boolean(controller.state && condition(controller.state)),
	})
	return {
		running: lit('Clock running', 'While the talk is being timed', CONDITIONS.running, { bgcolor: rgb(0, 150, 0), color: WHITE }),
		paused: lit('Clock paused', 'While the clock is paused', CONDITIONS.paused, { bgcolor: rgb(230, 150, 0), color: BLACK }),
		over_time: lit('Over-time', 'Once the talk has run out (also while paused)', CONDITIONS.over_time, {
			bgcolor: rgb(255, 0, 0),
			color: WHITE,
		}),
		message_shown: lit('Message shown', 'While a message is shown to the speaker', CONDITIONS.message_shown, {
			bgcolor: rgb(120, 40, 170),
			color: WHITE,
		}),
		projector_shown: lit('Projector shown', 'While the projector window is open', CONDITIONS.projector_shown, {
			bgcolor: rgb(0, 90, 160),
			color: WHITE,
		}),
		masked: lit('Main window masked', 'While the main window hides its settings', CONDITIONS.masked, {
			bgcolor: rgb(60, 60, 60),
			color: WHITE,
		}),
		bell_passed: {
			type: 'boolean',
			name: 'Bell passed',
			description: 'From the second of this bell (or a later one) until the clock is reset or restarted',
			defaultStyle: { bgcolor: rgb(255, 255, 0), color: BLACK },
			options: [{ type: 'dropdown', id: 'bell', label: 'Bell', default: 1, choices: [1, 2, 3].map((n) => ({ id: n, label: `Bell ${n}` })) }],
			callback: (feedback) => Boolean(controller.state && bellPassed(controller.state, Number(feedback.options.bell))),
		},
		display_colours: {
			type: 'advanced',
			name: 'Display colours',
			description: 'The button takes the background and text colours of the program\'s display (grey while not connected)',
			options: [],
			callback: () => displayStyle(controller.state),
		},
	}
}

// One page of a 15-key deck, in reading order: the time and the clock's keys, the minute and
// talk keys, then four saved messages and the talk at a glance.
function presetDefinitions(label = 'podiumwatch') {
	const v = (name) => `$(${label}:${name})`
	const key = (name, text, bgcolor, command, options = {}, feedbacks = [], size = '14') => ({
		type: 'button',
		category: 'Podium Watch',
		name,
		style: { text, size, color: WHITE, bgcolor },
		steps: [{ down: command ? [{ actionId: command, options }] : [], up: [] }],
		feedbacks,
	})
	const when = (feedbackId, style) => [{ feedbackId, options: {}, style }]
	const time = key('Time', v('time'), BLACK, null, {}, [{ feedbackId: 'display_colours', options: {} }], 'auto')
	time.style.color = rgb(0, 255, 0)
	const presets = {
		time,
		start: key('Start', 'Start', rgb(0, 70, 0), 'start', {}, when('running', { bgcolor: rgb(0, 150, 0) })),
		pause: key('Pause', 'Pause', rgb(90, 60, 0), 'pause', {}, when('paused', { bgcolor: rgb(230, 150, 0), color: BLACK })),
		restart: key('ReStart', 'ReStart', rgb(40, 40, 90), 'restart'),
		reset: key('Reset', 'Reset', rgb(90, 0, 0), 'reset'),
		minus_minute: key('−1 min', '−1 min', rgb(0, 50, 90), 'adjust', { seconds: -60 }),
		plus_minute: key('+1 min', '+1 min', rgb(0, 50, 90), 'adjust', { seconds: 60 }),
		previous: key('Previous talk', '◀\\nPrevious', rgb(50, 50, 50), 'previous'),
		next: key('Next talk', '▶\\nNext', rgb(50, 50, 50), 'next'),
		message_clear: key('Clear the message', 'Clear message', rgb(50, 20, 70), 'message_clear', {}, when('message_shown', { bgcolor: rgb(120, 40, 170) })),
	}
	for (let i = 0; i < 4; i++)
		presets[`saved_${i + 1}`] = key(`Saved message ${i + 1}`, v(`saved_${i + 1}`), rgb(60, 30, 80), 'message_saved', { i }, [], 'auto')
	presets.talk = key('Talk and schedule', `${v('talk_number')}/${v('talk_count')}\\n${v('schedule')}`, rgb(20, 20, 20), null, {}, when('over_time', { bgcolor: rgb(255, 0, 0) }), 'auto')
	return presets
}

module.exports = { actionDefinitions, configFields, feedbackDefinitions, presetDefinitions, readConfig }

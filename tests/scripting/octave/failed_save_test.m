function failed_save_test()
% A capture whose frame cannot be saved raises capture_get:fail; the server goes on.
pkg load instrument-control
client = tcpclient('127.0.0.1', 55555, 'Timeout', 10);
for slot = 1:2
    try
        capture_get(client, slot);
        error('capture_get returned on a failed save');
    catch failure
        assert(strcmp(failure.identifier, 'capture_get:fail'), failure.message);
    end
end
write(client, uint8('End'));
end
